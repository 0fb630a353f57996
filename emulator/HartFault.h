#pragma once

// Ways the emulated transmitter's reply to a command can go wrong on the way back.
enum class HartFault {
    None,
    Silent,         // no reply: the calibrator answers "$14"
    BadCheck,       // check byte wrong
    WrongAddress,   // last address byte differs
    WrongCommand,   // command byte differs
    ByteCountZero,  // byte count 0, no status bytes
    ByteCountOne,   // byte count 1, response code only
    ShortData,      // last data byte missing, byte count and check byte to match
    CommError,      // the transmitter reports a communication error and does not run the command
};
