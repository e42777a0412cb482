# korva-i2c against the simulated board: each test checks the exit status and
# a regular expression on the combined output (RunToolTest.cmake). A failing
# command leaves standard output empty: it only ever gets complete results.
function(korva_tool_test name exit_status regex)
  string(REPLACE ";" "," tool_args "${ARGN}")
  set(stdout_check "")
  if(NOT exit_status EQUAL 0)
    set(stdout_check "-DSTDOUT=^$")
  endif()
  add_test(NAME korva-i2c.${name}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:korva-i2c> -DARGS=${tool_args}
            -DEXIT_STATUS=${exit_status} -DEXPECT=${regex} ${stdout_check}
            -P ${CMAKE_CURRENT_LIST_DIR}/RunToolTest.cmake)
endfunction()

korva_tool_test(help 0 "Usage: korva-i2c COMMAND" --help)
korva_tool_test(detect 0 "^port 1: I2C controller found\n$" detect --simulate --port 1)
korva_tool_test(detect-no-controller 1 "error 11: No I2C-Controller found" detect --simulate --port 2)
korva_tool_test(port-zero 2 "--port needs a port number: 1 or 2" detect --simulate --port 0)
korva_tool_test(port-three 2 "--port needs a port number: 1 or 2" detect --simulate --port 3)
korva_tool_test(scan 0 "40: -- -- -- -- -- -- -- -- 48 49 4a 4b -- -- -- --.*8-bit addresses for --addr: 0x40 0x42 0x90 0x92 0x94 0x96"
  scan --simulate)
korva_tool_test(scan-empty-rows 0 "00: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --\n10: -- " scan --port=1 --simulate)
korva_tool_test(scan-no-controller 1 "error 11: No I2C-Controller found" scan --simulate --port 2)
korva_tool_test(read-converter 0 "^0x90 input 2: 5\\.000 \\(raw 0xFF\\)\n$"
  read --simulate --port 1 --addr 0x90 --input 2 --full-scale 5.0)
korva_tool_test(read-converter-raw 0 "^0x96 input 1: 128\\.000 \\(raw 0x80\\)\n$"
  read --simulate --addr 0x96 --input 1)
korva_tool_test(read-port-device 0 "^0x42: 0xFF\n$" read --simulate --addr 0x42)
korva_tool_test(read-port-device-nobody 1 "^korva-i2c: error 5: No ack on address \\(address 0x98\\)\n$"
  read --simulate --addr 0x98)
korva_tool_test(read-nobody 1 "error 5: No ack on address \\(address 0x98\\)"
  read --simulate --addr 0x98 --input 0)
korva_tool_test(write 0 "^0x40 <- 0xFF\n$" write --simulate --port 1 --addr 0x40 --value 0xFF)
korva_tool_test(write-nobody 1 "error 5: No ack on address \\(address 0x44\\)"
  write --simulate --addr 0x44 --value 3)
korva_tool_test(write-trace 0 "W 37B<-C3 x30.*W 37C<-40\nW 37B<-C5.*W 37C<-0F" write --simulate --trace --addr 0x40 --value 15)
korva_tool_test(no-command 2 "no command given.*Try 'korva-i2c --help'" --simulate)
korva_tool_test(unknown-command 2 "unknown command 'probe'" probe --port 1)
korva_tool_test(odd-address 2 "--addr needs an 8-bit address with bit 0 clear" read --simulate --addr 0x91)
korva_tool_test(bad-input 2 "--input needs a converter input from 0 to 3" read --simulate --addr 0x90 --input 4)
korva_tool_test(bad-full-scale 2 "--full-scale needs a number above 0" read --addr 0x90 --input 1 --full-scale 0)
korva_tool_test(bad-value 2 "--value needs a byte" write --addr 0x40 --value 0x100)
korva_tool_test(missing-value 2 "write needs --value" write --simulate --addr 0x40)
korva_tool_test(missing-addr 2 "read needs --addr" read --simulate)
korva_tool_test(option-without-value 2 "--port needs a value" detect --port)
korva_tool_test(foreign-option 2 "scan does not take --value" scan --simulate --value 1)
korva_tool_test(misspelt-last-option 2 "unknown option '--simulte'" scan --simulte)
korva_tool_test(short-unknown-option 2 "unknown option '-p'" scan --simulate -p 1)
korva_tool_test(flag-with-value 2 "--simulate takes no value" scan --simulate=yes)
korva_tool_test(tab-before-number 2 "--value needs a byte" write --simulate --addr 0x40 "--value=\t5")
korva_tool_test(blank-before-full-scale 2 "--full-scale needs a number above 0"
  read --simulate --addr 0x90 --input 1 "--full-scale= 5")

# The same commands on a simulated kernel adapter with the board's devices.
korva_tool_test(bus-detect 0 "^bus 1: I2C adapter \"KORVA simulated adapter\"\nfunctions 0x0EFF0009: I2C messages \\(combined transfers\\), SMBus quick, SMBus read byte, SMBus write byte, SMBus write byte data\ntransfers: I2C_RDWR\n$"
  detect --simulate --bus 1)
korva_tool_test(bus-scan 0 "00:                         -- -- -- -- -- -- -- --\n.*40: -- -- -- -- -- -- -- -- 48 49 4a 4b -- -- -- --.*70: -- -- -- -- -- -- -- --                        \n8-bit addresses for --addr: 0x40 0x42 0x90 0x92 0x94 0x96\n$"
  scan --simulate --bus /dev/i2c-1)
korva_tool_test(bus-scan-probes 0 "R 61\\*:\n.*W 70\\*:\n.*W 90:\n" scan --simulate --bus 1 --trace)
korva_tool_test(bus-read-converter 0 "^0x90 input 2: 5\\.000 \\(raw 0xFF\\)\n$"
  read --simulate --bus 1 --addr 0x90 --input 2 --full-scale 5.0)
korva_tool_test(bus-read-port-device 0 "^0x42: 0xFF\n$" read --simulate --bus=3 --addr 0x42)
korva_tool_test(bus-write 0 "^0x40 <- 0x0F\nW 40: 0F\n$" write --simulate --bus 1 --addr 0x40 --value 15 --trace)
korva_tool_test(bus-nobody 1 "^korva-i2c: error 5: No ack on address \\(address 0x98\\)\nkorva-i2c: /dev/i2c-1: No such device or address\n$"
  read --simulate --bus 1 --addr 0x98 --input 0)
korva_tool_test(bus-missing-node 1 "error 13: EPP-Port in use\nkorva-i2c: /dev/i2c-9999: No such file or directory\n.*group i2c"
  detect --bus 9999)
korva_tool_test(bus-and-port 2 "--port and --bus cannot be used together" scan --simulate --bus 1 --port 1)
korva_tool_test(bus-bad-number 2 "--bus needs an adapter number N or its node /dev/i2c-N" scan --bus /dev/i2c-x)
korva_tool_test(bus-trace-needs-simulate 2 "--trace with --bus needs --simulate" scan --bus 1 --trace)
