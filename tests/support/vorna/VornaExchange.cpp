// Our own stand-in for the thermohygrometer's exchange library, for the tests and for running the
// workstation without the device. Unconfigured it answers 0 (no thermohygrometer). The environment
// sets its answer:
//   ZFN_VORNA_RESULT  the result byte (unset: 0)
//   ZFN_VORNA_VALUES  "temperature,humidity,pressure" written into the buffer ("nan" allowed)
//   ZFN_VORNA_LOG     a file that gets one line per call: serial|request|channel|size|zeroed
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#define VORNA_EXPORT __declspec(dllexport)
#define VORNA_CALL __cdecl
#else
#define VORNA_EXPORT __attribute__((visibility("default")))
#define VORNA_CALL
#endif

#ifdef VORNA_WITHOUT_READ
extern "C" VORNA_EXPORT int VORNA_CALL VORNA_USB_Open(void)
{
    return 0;
}
#else
namespace {

const int valueCount = 3;
const int bufferBytes = valueCount * int(sizeof(float));

bool isZeroed(const float* buffer, int size)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer);
    for (int i = 0; i < size; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

void logCall(const char* serial, int request, int channel, const float* buffer, int size)
{
    const char* path = std::getenv("ZFN_VORNA_LOG");
    if (!path)
        return;
    if (FILE* log = std::fopen(path, "a")) {
        std::fprintf(log, "%s|%d|%d|%d|%d\n", serial, request, channel, size, isZeroed(buffer, size) ? 1 : 0);
        std::fclose(log);
    }
}

void takeValues(float* buffer)
{
    const char* text = std::getenv("ZFN_VORNA_VALUES");
    for (int i = 0; i < valueCount && text && *text; ++i) {
        char* end = nullptr;
        buffer[i] = std::strtof(text, &end);
        text = *end == ',' ? end + 1 : end;
    }
}

}  // namespace

extern "C" VORNA_EXPORT unsigned char VORNA_CALL VORNA_USB_Read(const char* serial, int request, int channel,
                                                               float* buffer, int size)
{
    logCall(serial, request, channel, buffer, size);
    const char* result = std::getenv("ZFN_VORNA_RESULT");
    if (!result || size < bufferBytes)
        return 0;
    takeValues(buffer);
    return static_cast<unsigned char>(std::atoi(result));
}
#endif
