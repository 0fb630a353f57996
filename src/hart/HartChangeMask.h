#pragma once

// Bits of the change mask handed to the HART write operations: one bit per group of values the
// page changed, each group written by its own command.
class HartChangeMask
{
public:
    // Identity write.
    enum IdentityBits {
        TagDescriptorDate = 0x01,
        Message = 0x02,
        ResponsePreambles = 0x04,
        LongTag = 0x08,
    };

    // Output parameters write.
    enum ParametrBits {
        Range = 0x01,
        Damping = 0x02,
        TransferFunction = 0x04,
        PvUnit = 0x08,
    };

    // Device-specific write.
    enum SpecificBits {
        CurrentOutput = 0x01,
        SqrtCharacteristic = 0x02,
        Display = 0x04,
        Protection = 0x08,
        ScaleShiftA = 0x10,
        ScaleShiftB = 0x20,
    };
};
