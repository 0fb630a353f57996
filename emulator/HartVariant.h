#pragma once

// Kinds of HART transmitter the emulator can play behind the calibrator.
enum class HartVariant {
    Family,         // the project's own transmitter: every universal, common and device-specific command
    Foreign,        // another maker's: no device-specific commands (above 127) and no trim commands 80-83
    NoCurrentTrim,  // the own transmitter without commands 45 and 46
    Hart5,          // the own transmitter at universal revision 5: shorter identity and device information, no long tag
};
