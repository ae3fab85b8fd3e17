// What the sound libraries say on their own. ALSA prints every failed device
// probe to stderr and JACK every failed attempt to reach its server, so a
// machine without a sound card would greet the user with dozens of lines of
// ALSA and JACK errors. RouteLibraryMessages() takes them over: ALSA's error
// handler and, when the JACK client library is loaded (PortAudio's JACK back
// end brings it in), JACK's error and info functions - looked up at run time,
// so nothing here links JACK.
//
// Until a sink is given the messages are held (the latest few hundred), so a
// program can take them over first thing and hand them to its log once the
// log is open.
#pragma once

#include <functional>
#include <string>

namespace kestrune::audio {

/** Gets one message: the library ("alsa" or "jack") and its text, one line. */
using LibraryMessageSink = std::function<void(const std::string& library, const std::string& text)>;

/** Takes over the libraries' message output (again when JACK has been loaded
 *  since) and sends it to `sink` from now on, starting with the messages
 *  held so far; an empty sink holds them. The sink may be called from any
 *  thread, one call at a time. */
void RouteLibraryMessages(LibraryMessageSink sink);

/** Gives ALSA its own output back and drops held messages. JACK has no way
 *  back to its own: its messages are held from then on. */
void RestoreLibraryMessages();

}  // namespace kestrune::audio
