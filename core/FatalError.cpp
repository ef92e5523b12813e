#include "core/FatalError.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/Log.h"
#include "core/TextEncoding.h"

namespace GAME {

namespace {

void DefaultHandler(const char* text) {
    Log(LogPriority::Error, "Fatal Error: %s", text);
    std::fprintf(stderr, "Fatal Error: %s\n", text);
    std::fflush(stderr);
}

std::atomic<FatalErrorHandler> gHandler{&DefaultHandler};

}  // namespace

FatalErrorHandler SetFatalErrorHandler(FatalErrorHandler handler) {
    return gHandler.exchange(handler ? handler : &DefaultHandler);
}

void FatalError(const char* text) {
    gHandler.load()(text ? text : "");
    std::exit(-1);
}

void FatalError(const wchar_t* text) { FatalError(text ? EncodeUtf8(text).c_str() : ""); }

}  // namespace GAME
