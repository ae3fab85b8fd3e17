#include "audio/LibraryMessages.h"

#include <alsa/asoundlib.h>
#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>
#include <utility>

namespace kestrune::audio {

namespace {

constexpr std::size_t kHeldMessages = 500;

struct Router {
    std::mutex mutex;
    LibraryMessageSink sink;
    std::deque<std::pair<std::string, std::string>> held;
};

Router& TheRouter() {
    static Router router;
    return router;
}

void Deliver(const char* library, std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    Router& router = TheRouter();
    std::lock_guard lock(router.mutex);
    if (router.sink) {
        router.sink(library, text);
        return;
    }
    if (router.held.size() == kHeldMessages) router.held.pop_front();
    router.held.emplace_back(library, std::move(text));
}

void AlsaHandler(const char* file, int line, const char* function, int error, const char* format,
                 ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    std::string message = std::string(file ? file : "?") + ":" + std::to_string(line) + ":(" +
                          (function ? function : "?") + ") " + text;
    if (error != 0) message += std::string(": ") + snd_strerror(error);
    Deliver("alsa", std::move(message));
}

void JackMessage(const char* text) {
    Deliver("jack", text ? text : "");
}

using JackSetFunction = void (*)(void (*)(const char*));

// JACK's setters when its client library is in the process, else null.
JackSetFunction JackSetter(const char* name) {
    return reinterpret_cast<JackSetFunction>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

void RouteLibraryMessages(LibraryMessageSink sink) {
    snd_lib_error_set_handler(AlsaHandler);
    if (const JackSetFunction set = JackSetter("jack_set_error_function")) set(JackMessage);
    if (const JackSetFunction set = JackSetter("jack_set_info_function")) set(JackMessage);
    Router& router = TheRouter();
    std::lock_guard lock(router.mutex);
    router.sink = std::move(sink);
    if (!router.sink) return;
    for (const auto& [library, text] : router.held) router.sink(library, text);
    router.held.clear();
}

void RestoreLibraryMessages() {
    snd_lib_error_set_handler(nullptr);
    Router& router = TheRouter();
    std::lock_guard lock(router.mutex);
    router.sink = nullptr;
    router.held.clear();
}

}  // namespace kestrune::audio
