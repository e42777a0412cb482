#include "hw/SimDevices.h"

void CSimConverter::Start(bool read)
{
    m_controlNext = !read;
}

bool CSimConverter::Receive(std::uint8_t value)
{
    if (m_controlNext) {
        m_control = value;
        m_input = value & 3;
        m_controlNext = false;
    } else {
        m_output = value;
    }
    return true;
}

std::uint8_t CSimConverter::Transmit()
{
    const std::uint8_t previous = m_conversion;
    m_conversion = m_inputs[m_input];
    if (m_control & 0x04)
        m_input = (m_input + 1) & 3;
    return previous;
}

bool CSimPortDevice::Receive(std::uint8_t value)
{
    m_latch = value;
    return true;
}
