#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace kestrune::audio::testing {

/**
 * Points ALSA at a configuration of the test's own (ALSA_CONFIG_PATH): a
 * "default" control device that is the fake mixer plugin with the given
 * elements ("Master Playback Volume|PCM Playback Volume"), or, with no
 * elements, a card that does not exist. Each call uses a new session, so
 * the fake card starts with every value at 0.
 */
inline void UseAlsaConfig(const std::string& folder, const std::string& elements, int maximum = 87,
                          int channels = 2) {
    static int count = 0;
    const std::string path = folder + "/kestrune-alsa-" + std::to_string(::getpid()) + "-" +
                             std::to_string(++count) + ".conf";
    std::ofstream out(path);
    if (elements.empty()) {
        out << "ctl.!default { type hw card 31 }\n";
    } else {
        out << "ctl_type.kestrunefake { lib \"" KESTRUNE_FAKE_MIXER "\" }\n"
            << "ctl.!default { type kestrunefake session \"s" << count << "\" maximum " << maximum
            << " channels " << channels << " elements \"" << elements << "\" }\n";
    }
    out.close();
    ::setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
}

}  // namespace kestrune::audio::testing
