#include "Sound.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cmath>
#include <numbers>
#include <vector>

namespace Platform {

namespace {

// ALSA prints its complaints to stderr; without a sound card that is noise.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void PlayTone(std::uint32_t frequencyHz, std::uint32_t durationMs) {
    if (frequencyHz == 0 || durationMs == 0)
        return;
    snd_lib_error_set_handler(QuietAlsaErrors);
    snd_pcm_t* pcm = nullptr;
    // Open without blocking so a busy device cannot hang the window.
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return;
    constexpr unsigned rate = 44100;
    const unsigned frames = rate * durationMs / 1000;
    std::vector<short> samples(frames);
    for (unsigned i = 0; i < frames; ++i) {
        // Short fades at both ends keep the tone free of clicks.
        const double fade = std::min({1.0, i / 200.0, (frames - i) / 200.0});
        samples[i] = static_cast<short>(12000.0 * fade *
                                        std::sin(2.0 * std::numbers::pi * frequencyHz * i / rate));
    }
    if (snd_pcm_nonblock(pcm, 0) == 0 &&
        snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, rate, 1,
                           100000) == 0) {
        const short* data = samples.data();
        snd_pcm_sframes_t left = frames;
        while (left > 0) {
            snd_pcm_sframes_t n = snd_pcm_writei(pcm, data, static_cast<snd_pcm_uframes_t>(left));
            if (n < 0)
                n = snd_pcm_recover(pcm, static_cast<int>(n), 1);
            if (n < 0)
                break;
            data += n;
            left -= n;
        }
        if (left == 0)
            snd_pcm_drain(pcm);
    }
    snd_pcm_close(pcm);
}

} // namespace Platform
