// An ALSA control plugin that stands in for a sound card's mixer in tests,
// so that the speaker-volume code runs against the real ALSA mixer library
// on machines without a sound card. A test's ALSA configuration names it:
//
//   ctl_type.kestrunefake { lib "/path/to/this.so" }
//   ctl.!default { type kestrunefake  session "t1"  maximum 87
//                  elements "Master Capture Volume|PCM Playback Volume"
//                  channels 2 }
//
// Each element is an integer control from 0 to `maximum` with `channels`
// values. Values live as long as the process and are shared by every
// handle opened with the same `session`, as a card's are.

#include <alsa/asoundlib.h>
#include <alsa/control_external.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Element {
    std::string name;
    std::vector<long> values;
};

std::map<std::string, std::vector<Element>>& Sessions() {
    static auto* sessions = new std::map<std::string, std::vector<Element>>();
    return *sessions;
}

struct Fake {
    snd_ctl_ext_t ext{};
    std::vector<Element>* elements = nullptr;
    long maximum = 100;
};

std::vector<Element>& ElementsOf(snd_ctl_ext_t* ext) {
    return *static_cast<Fake*>(ext->private_data)->elements;
}

const snd_ctl_ext_callback_t kCallbacks = {
    .close = [](snd_ctl_ext_t* ext) { delete static_cast<Fake*>(ext->private_data); },
    .elem_count = [](snd_ctl_ext_t* ext) { return static_cast<int>(ElementsOf(ext).size()); },
    .elem_list =
        [](snd_ctl_ext_t* ext, unsigned int offset, snd_ctl_elem_id_t* id) {
            snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
            snd_ctl_elem_id_set_name(id, ElementsOf(ext)[offset].name.c_str());
            return 0;
        },
    .find_elem = [](snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) -> snd_ctl_ext_key_t {
        const auto& elements = ElementsOf(ext);
        for (std::size_t i = 0; i < elements.size(); ++i)
            if (elements[i].name == snd_ctl_elem_id_get_name(id)) return i;
        return SND_CTL_EXT_KEY_NOT_FOUND;
    },
    .get_attribute =
        [](snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned int* access,
           unsigned int* count) {
            *type = SND_CTL_ELEM_TYPE_INTEGER;
            *access = SND_CTL_EXT_ACCESS_READWRITE;
            *count = static_cast<unsigned>(ElementsOf(ext)[key].values.size());
            return 0;
        },
    .get_integer_info =
        [](snd_ctl_ext_t* ext, snd_ctl_ext_key_t, long* minimum, long* maximum, long* step) {
            *minimum = 0;
            *maximum = static_cast<Fake*>(ext->private_data)->maximum;
            *step = 1;
            return 0;
        },
    .read_integer =
        [](snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
            const auto& values = ElementsOf(ext)[key].values;
            std::copy(values.begin(), values.end(), value);
            return 0;
        },
    .write_integer =
        [](snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
            auto& values = ElementsOf(ext)[key].values;
            const bool changed = !std::equal(values.begin(), values.end(), value);
            std::copy(value, value + values.size(), values.begin());
            return changed ? 1 : 0;
        },
    .read_event = [](snd_ctl_ext_t*, snd_ctl_elem_id_t*, unsigned int*) { return -EAGAIN; },
};

}  // namespace

extern "C" {

SND_CTL_PLUGIN_DEFINE_FUNC(kestrunefake) {
    (void)root;
    std::string session = "default";
    std::string names;
    long maximum = 100;
    long channels = 2;
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf) {
        snd_config_t* entry = snd_config_iterator_entry(i);
        const char* key = nullptr;
        if (snd_config_get_id(entry, &key) < 0) continue;
        const char* text = nullptr;
        if (std::strcmp(key, "session") == 0 && snd_config_get_string(entry, &text) == 0)
            session = text;
        if (std::strcmp(key, "elements") == 0 && snd_config_get_string(entry, &text) == 0)
            names = text;
        if (std::strcmp(key, "maximum") == 0) snd_config_get_integer(entry, &maximum);
        if (std::strcmp(key, "channels") == 0) snd_config_get_integer(entry, &channels);
    }
    auto& elements = Sessions()[session];
    if (elements.empty()) {
        std::size_t start = 0;
        while (start < names.size()) {
            const auto end = std::min(names.find('|', start), names.size());
            elements.push_back({names.substr(start, end - start), std::vector<long>(channels, 0)});
            start = end + 1;
        }
    }
    auto* fake = new Fake;
    fake->elements = &elements;
    fake->maximum = maximum;
    fake->ext.version = SND_CTL_EXT_VERSION;
    fake->ext.card_idx = 0;
    for (char* field : {fake->ext.id, fake->ext.driver, fake->ext.name, fake->ext.longname,
                        fake->ext.mixername}) {
        std::strcpy(field, "Fake");
    }
    fake->ext.callback = &kCallbacks;
    fake->ext.private_data = fake;
    const int created = snd_ctl_ext_create(&fake->ext, name, mode);
    if (created < 0) {
        delete fake;
        return created;
    }
    *handlep = fake->ext.handle;
    return 0;
}

SND_CTL_PLUGIN_SYMBOL(kestrunefake);

}  // extern "C"
