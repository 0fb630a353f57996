#pragma once

// How a reply frame was judged. Only Success and Warning decoded data into the record.
enum class HartReplyOutcome {
    Invalid,      // failed a frame check or was too short for its layout: the record is untouched
    CommError,    // the transmitter reported a communication error (first status byte bit 7)
    DeviceError,  // a response code that is an error for the command; data not decoded
    Warning,      // a response code that is only a warning; data decoded
    Success,      // response code 0; data decoded
};
