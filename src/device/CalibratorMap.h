#pragma once

// Every request the workstation sends the calibrator, in one place: the device code builds its
// frames from these numbers and the emulator answers them, so the two cannot drift apart.
namespace CalibratorMap {

// Command numbers (first field of the command text).
constexpr int CmdIdentify = 0;
constexpr int CmdReadValue = 1;
constexpr int CmdReadRegisters = 10;
constexpr int CmdWriteRegisters = 11;
constexpr int CmdHartPassThrough = 40;

// Identify replies "$70", "$90", "$91".
constexpr int TypeZfn020 = 70;
constexpr int TypeZfn030 = 90;
constexpr int TypeLmv160 = 91;

// Register types (second field of a register request).
constexpr int RegTypeByte = 0;
constexpr int RegTypeArchive = 1;
constexpr int RegTypeMemory = 2;
constexpr int RegTypeFloat = 3;

// Value numbers of command 1.
constexpr int ValueReferencePressure = 1;   // in the reference module's unit
constexpr int ValueModuleTemperature = 4;
constexpr int ValueLoopCurrent = 5;         // mA
constexpr int ValueHartPrimary = 17;
constexpr int ValueHartSecond = 18;
constexpr int ValueHartPollAddress = 19;    // with 0;2
constexpr int ValueHartIdentity = 20;       // with 0;2, 5 bytes as hex

// Session registers: the start and release frames write these values to them.
constexpr int RegSessionStart = 1;
constexpr int SessionStartValue = 1;
constexpr int RegSessionEnd = 200;
constexpr int SessionEndValue = 200;

// Memory (type 2) registers.
constexpr int RegClock = 0;                 // 0;2;4 clock bytes 0-16, 0;2;1 year byte
constexpr int RegSettingsFirst = 16;        // 16;2;4 -> 64 hex characters
constexpr int RegSettingsSecond = 48;       // 48;2;4 -> 36 hex characters
constexpr int RegSettingsClose = 49;        // write 49;0;1 := "0" after settings or clock
constexpr int RegModuleInUse = 67;          // 67;2;1, type 90 only
constexpr int RegModuleZero = 2;            // write 2;0;1 := "0"

// Graduation registers (type 3, count 3) and output set points (type 0, count 3).
constexpr int RegOutputMin = 2;
constexpr int RegOutputMax = 6;
constexpr int RegOutputShift = 10;
constexpr int RegInputCoefficient = 14;
constexpr int RegOutputSetPointFirst = 43;
constexpr int RegOutputSetPointLast = 45;

constexpr int RegSerialNumber = 30;         // 30;3;2
constexpr int RegModuleUnit = 262;          // 262;0;1
constexpr int RegSupply24V = 274;           // 274;0;1, "1" = on
constexpr int RegHartModem = 275;           // 275;0;1, "1" = on
constexpr int RegHartPollAddress = 276;     // write 276;0;1
constexpr int RegAccuracyClass = 278;       // 278;0;4, hex text

// Archive: frame i is read as two halves at i*64 and i*64+32, type 1, count 4.
constexpr int ArchiveFrameCount = 512;
constexpr int ArchiveFrameBytes = 64;
constexpr int ArchiveHalfStride = 32;
constexpr int ArchiveHalfCount = 4;

}  // namespace CalibratorMap
