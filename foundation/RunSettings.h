#pragma once
// The serial line and the speeds of a run: the defaults at each start, changed by Setup for the
// run only (the port number alone outlives it, in Settings.ini).
struct RunSettings {
    int portNumber = 3;
    int baudRate = 115200;
    char parity = 'N';  // 'N', 'O', 'E', 'M', 'S'
    int dataBits = 8;
    int stopBits = 1;
    int speedIndex = 1;  // 0, 1, 2 = 12.5, 25, 50 mm/s
    int printSpeedIndex = 1;
};
