#pragma once

class HartDeviceData;
class HartReplyData;

// Decoder of one command's reply data into the record. A reply with fewer data bytes than
// minDataBytes is rejected before anything is stored; bytes past the layout are ignored.
struct HartReplyDecoder
{
    int minDataBytes;
    void (*decode)(const HartReplyData& data, HartDeviceData& device);
};

// Null for the commands whose replies the record keeps nothing of.
const HartReplyDecoder* hartReplyDecoder(int command);
