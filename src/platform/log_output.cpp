#include "platform/log_output.h"

#include "platform/text.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <unistd.h>

namespace velmora {

namespace {

void appendHexByte(std::string& out, unsigned char byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0xF]);
}

std::atomic<int> firstWriteError{0};

std::mutex& outputMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

std::string escapeForLog(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    appendHexByte(out, c);
                else
                    out.push_back(static_cast<char>(c));
            }
            ++i;
            continue;
        }
        std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            appendHexByte(out, c);
            ++i;
            continue;
        }
        // U+0080..U+009F are control characters too (NEL among them ends a line for some readers).
        if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            appendHexByte(out, c);
            appendHexByte(out, static_cast<unsigned char>(text[i + 1]));
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

int logWriteError() {
    return firstWriteError.load();
}

void ignoreClosedPipes() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

bool writeLogLine(std::string_view line) {
    std::string buffer;
    buffer.reserve(line.size() + 1);
    buffer.append(line).push_back('\n');
    std::lock_guard lock(outputMutex());
    const char* data = buffer.data();
    std::size_t left = buffer.size();
    while (left > 0) {
        ssize_t written = ::write(STDOUT_FILENO, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            int expected = 0;
            firstWriteError.compare_exchange_strong(expected, errno);
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace velmora
