// Synthesises the demo's sounds and writes them as OGG/Vorbis: "Steam.ogg" (a loopable
// hiss of filtered noise), "Fuze.ogg" (a loopable crackle: sparse clicks over a thin
// hiss) and "Hit.ogg" (a short low thump). Seeded, so every build makes the same files.
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "ogg_write.h"

namespace {

constexpr int kRate = 44100;

class Noise {
public:
    explicit Noise(unsigned seed) : engine_(seed) {}
    float white() { return uniform_(engine_); }
    float chance() { return (uniform_(engine_) + 1.0f) * 0.5f; }

private:
    std::mt19937 engine_;
    std::uniform_real_distribution<float> uniform_{-1.0f, 1.0f};
};

// One-pole low-pass; the high-pass is the input minus it.
struct OnePole {
    explicit OnePole(float cutoffHz) : k(1.0f - std::exp(-2.0f * std::numbers::pi_v<float> * cutoffHz / kRate)) {}
    float low(float x) { return state += k * (x - state); }
    float high(float x) { return x - low(x); }
    float k;
    float state = 0;
};

// The tail beyond `length` cross-faded into the head, so the clip loops without a click:
// the last sample leads into the first as it led into the tail.
std::vector<float> loopable(const std::vector<float>& raw, size_t length)
{
    std::vector<float> out(raw.begin(), raw.begin() + static_cast<long>(length));
    const size_t fade = raw.size() - length;
    for (size_t i = 0; i < fade; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(fade);
        out[i] = raw[i] * t + raw[length + i] * (1.0f - t);
    }
    return out;
}

std::vector<float> steam()
{
    Noise noise(31);
    OnePole highPass(1800.0f), lowPass(7000.0f), flutter(3.0f);
    const size_t length = 2 * kRate, fade = kRate / 5;
    std::vector<float> raw(length + fade);
    for (float& sample : raw) {
        const float wobble = 0.8f + 0.2f * flutter.low(noise.white()) * 20.0f;
        sample = 0.5f * wobble * lowPass.low(highPass.high(noise.white()));
    }
    return loopable(raw, length);
}

std::vector<float> fuze()
{
    Noise noise(7);
    OnePole hiss(3000.0f), click(2500.0f);
    const size_t length = kRate, fade = kRate / 10;
    std::vector<float> raw(length + fade);
    float spark = 0;
    for (float& sample : raw) {
        // About 40 clicks a second, each a decaying burst of bright noise.
        if (noise.chance() < 40.0f / kRate)
            spark = 0.5f + 0.5f * noise.chance();
        spark *= 0.995f;
        sample = 0.12f * hiss.high(noise.white()) + spark * click.high(noise.white());
    }
    return loopable(raw, length);
}

std::vector<float> hit()
{
    Noise noise(28);
    OnePole thud(900.0f);
    const size_t length = kRate * 2 / 5;
    std::vector<float> out(length);
    float phase = 0;
    for (size_t i = 0; i < length; ++i) {
        const float t = static_cast<float>(i) / kRate;
        const float pitch = 55.0f + 70.0f * std::exp(-t * 30.0f);
        phase += 2.0f * std::numbers::pi_v<float> * pitch / kRate;
        const float body = std::sin(phase) * std::exp(-t * 12.0f);
        const float knock = thud.low(noise.white()) * std::exp(-t * 60.0f) * 2.0f;
        out[i] = 0.8f * body + knock;
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output-directory\n", argv[0]);
        return 2;
    }
    const std::string directory = std::string(argv[1]) + "/";
    const struct {
        const char* name;
        std::vector<float> samples;
    } sounds[] = {{"Steam.ogg", steam()}, {"Fuze.ogg", fuze()}, {"Hit.ogg", hit()}};
    for (const auto& sound : sounds) {
        if (!kve::tools::writeOgg(directory + sound.name, sound.samples, kRate)) {
            std::fprintf(stderr, "could not write %s%s\n", directory.c_str(), sound.name);
            return 1;
        }
    }
    return 0;
}
