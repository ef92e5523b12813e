#include "core/FatalError.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/Log.h"

namespace GAME {

namespace {

void DefaultHandler(const char* text) {
    Log(LogPriority::Error, "Fatal Error: %s", text);
    std::fprintf(stderr, "Fatal Error: %s\n", text);
    std::fflush(stderr);
}

std::atomic<FatalErrorHandler> gHandler{&DefaultHandler};

// wchar_t is UTF-32 here; invalid code points become U+FFFD.
std::string ToUtf8(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) {
        uint32_t c = static_cast<uint32_t>(*text);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

FatalErrorHandler SetFatalErrorHandler(FatalErrorHandler handler) {
    return gHandler.exchange(handler ? handler : &DefaultHandler);
}

void FatalError(const char* text) {
    gHandler.load()(text ? text : "");
    std::exit(-1);
}

void FatalError(const wchar_t* text) { FatalError(text ? ToUtf8(text).c_str() : ""); }

}  // namespace GAME
