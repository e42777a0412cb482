#include "app/VelkorApp.h"

int main(int argc, char* argv[])
{
    return RunVelkorApp(argc, argv);
}
