#include "ReplyFrame.h"

#include "AsciiUail.h"

namespace {

constexpr char requestMarker = char(0xFF);
constexpr char requestColon = ':';
constexpr char replyMarker = '!';
constexpr char frameEnd = '\r';

}  // namespace

// A marker byte ends any reply begun before it; marker and colon open a request frame, our echo,
// whose "!" begins nothing up to its carriage return.
ReplyFrame ReplyFrame::first(const QByteArray& bytes)
{
    bool inRequest = false;
    int start = -1;
    for (int i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == requestMarker) {
            start = -1;
            inRequest = i + 1 < bytes.size() && bytes.at(i + 1) == requestColon;
        } else if (inRequest) {
            inRequest = c != frameEnd;
        } else if (c == replyMarker && start < 0) {
            start = i;
        } else if (c == frameEnd && start >= 0) {
            return ReplyFrame(checkedBegin(bytes, start, i), i);
        }
    }
    return ReplyFrame(-1, -1);
}

// Stray bytes that begin with "!" run into the reply behind them: the reply begins at the first "!"
// from which the frame passes its checks. A frame that passes from none is whole all the same.
int ReplyFrame::checkedBegin(const QByteArray& bytes, int begin, int end)
{
    for (int at = begin; at >= 0 && at < end; at = bytes.indexOf(replyMarker, at + 1)) {
        QByteArray trial = bytes.mid(at, end - at + 1);
        quint8 address = 0;
        if (AsciiUail::unpackPackageGetAddress(trial, address))
            return at;
    }
    return begin;
}
