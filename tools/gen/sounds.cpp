// The fourteen effects, each built from a few oscillators, noise and
// envelopes. Everything is computed in doubles and scaled to a common peak,
// so no effect clips; short fades at both ends avoid clicks.
#include "sounds.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace gen {

namespace {

constexpr double kTau = 2 * std::numbers::pi;
constexpr double kPeak = 0.86;

// A note name's frequency: semitones from A4.
double Note(double semis) { return 440.0 * std::pow(2.0, semis / 12.0); }
// Handy pitches (semitones from A4).
constexpr double C5 = 3, E5 = 7, G5 = 10, A5 = 12, C6 = 15, D6 = 17, E6 = 19, G6 = 22, A6 = 24, C7 = 27, E7 = 31,
                 G7 = 34, C8 = 39;

// A softened square: rich but without the harshest edges, so re-pitched
// playback stays pleasant.
double SoftSquare(double phase, double drive = 3.0) { return std::tanh(drive * std::sin(kTau * phase)) / std::tanh(drive); }
double Triangle(double phase) {
    const double p = phase - std::floor(phase);
    return p < 0.5 ? 4 * p - 1 : 3 - 4 * p;
}

// Builds a sound of `seconds` by calling f(t, i) for each sample.
Sound Make(int rate, double seconds, const std::function<double(double, int)>& f) {
    Sound s;
    s.Rate = rate;
    const int n = static_cast<int>(std::lround(rate * seconds));
    s.S.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) s.S[static_cast<size_t>(i)] = f(static_cast<double>(i) / rate, i);
    return s;
}

// Phase accumulator for swept frequencies.
struct Osc {
    double Phase = 0;
    double Step(double hz, int rate) {
        const double p = Phase;
        Phase += hz / rate;
        Phase -= std::floor(Phase);
        return p;
    }
};

// One-pole low-pass filter.
struct LowPass {
    double Y = 0;
    double Step(double x, double cutoff, int rate) {
        const double a = 1.0 - std::exp(-kTau * cutoff / rate);
        Y += a * (x - Y);
        return Y;
    }
};

// Two-pole resonant band-pass (state variable), for vowel formants.
struct BandPass {
    double Low = 0, Band = 0;
    double Step(double x, double centre, double q, int rate) {
        const double f = 2 * std::sin(std::numbers::pi * std::min(centre, rate / 6.0) / rate);
        const double high = x - Low - Band / q;
        Band += f * high;
        Low += f * Band;
        return Band;
    }
};

double Decay(double t, double tau) { return std::exp(-t / tau); }
double Attack(double t, double a) { return a <= 0 ? 1.0 : std::min(1.0, t / a); }

// Fades the first and last few milliseconds, then scales to the common peak.
void Finish(Sound& s, double fadeMs = 3.0) {
    const size_t fade = std::max<size_t>(1, static_cast<size_t>(s.Rate * fadeMs / 1000.0));
    const size_t n = s.S.size();
    for (size_t i = 0; i < std::min(fade, n); ++i) {
        const double g = static_cast<double>(i) / static_cast<double>(fade);
        s.S[i] *= g;
        s.S[n - 1 - i] *= g;
    }
    // Remove any offset so the wave swings around the middle.
    double mean = 0;
    for (double v : s.S) mean += v;
    mean /= static_cast<double>(std::max<size_t>(n, 1));
    for (double& v : s.S) v -= mean;
    Normalize(s, kPeak);
}

// A sequence of short notes: each note a soft square with a quick decay
// and a touch of octave shimmer.
Sound Arpeggio(int rate, const std::vector<double>& semis, double noteLen, double ring, double drive = 2.5) {
    const double total = noteLen * static_cast<double>(semis.size()) + ring;
    Osc a, b;
    return Make(rate, total, [&](double t, int) {
        const int k = std::min(static_cast<int>(t / noteLen), static_cast<int>(semis.size()) - 1);
        const double local = t - k * noteLen;
        const double hz = Note(semis[static_cast<size_t>(k)]);
        const bool last = k == static_cast<int>(semis.size()) - 1;
        const double env = Attack(local, 0.004) * Decay(local, last ? ring * 0.5 : noteLen * 0.9);
        return env * (0.75 * SoftSquare(a.Step(hz, rate), drive) + 0.25 * std::sin(kTau * b.Step(hz * 2, rate)));
    });
}

Sound Eat() {
    // A bubbly rising blip; it is replayed up to nine times faster along a
    // combo, so it keeps few overtones.
    const int rate = 11025;
    Osc o;
    Sound s = Make(rate, 0.085, [&](double t, int) {
        const double hz = 620 * std::pow(2.0, t / 0.085 * 1.1);
        return Attack(t, 0.003) * Decay(t, 0.035) * SoftSquare(o.Step(hz, rate), 1.6);
    });
    Finish(s, 2);
    return s;
}

Sound Fever() {
    Sound s = Arpeggio(11025, {C6, E6, G6, C7, E7, G7}, 0.055, 0.16, 2.0);
    Finish(s);
    return s;
}

Sound HighJump() {
    // A whoosh of noise opening up, over a rising whistle.
    const int rate = 11025;
    Prng rng(0x51A7u);
    LowPass lp1, lp2;
    Osc o;
    const double len = 0.44;
    Sound s = Make(rate, len, [&](double t, int) {
        const double u = t / len;
        const double cutoff = 200 + 2600 * u * u;
        const double noise = lp2.Step(lp1.Step(rng.Signed(), cutoff, rate), cutoff, rate);
        const double whistle = std::sin(kTau * o.Step(260 * std::pow(2.0, 2.2 * u), rate));
        const double env = std::pow(std::sin(std::numbers::pi * u), 0.7);
        return env * (2.2 * noise + 0.35 * whistle);
    });
    Finish(s);
    return s;
}

Sound Quake() {
    // Low rumble: brown noise and a shaking sub tone.
    const int rate = 11025;
    Prng rng(0x9A4Eu);
    LowPass lp1, lp2;
    Osc o;
    const double len = 0.9;
    Sound s = Make(rate, len, [&](double t, int) {
        const double brown = lp2.Step(lp1.Step(rng.Signed(), 180, rate), 120, rate);
        const double shake = 0.6 + 0.4 * std::sin(kTau * 9 * t);
        const double sub = std::sin(kTau * o.Step(46 + 10 * std::sin(kTau * 3 * t), rate));
        return Attack(t, 0.02) * Decay(t, 0.35) * shake * (6.0 * brown + 0.5 * sub);
    });
    Finish(s, 5);
    return s;
}

Sound Charge() {
    Sound s = Arpeggio(11025, {C5, E5, G5, C6, E6, G6, C7}, 0.042, 0.12, 2.2);
    Finish(s);
    return s;
}

Sound Land() {
    // A soft thud: a falling low sine with a puff of muffled noise.
    const int rate = 11025;
    Prng rng(0x1A2Du);
    LowPass lp;
    Osc o;
    Sound s = Make(rate, 0.16, [&](double t, int) {
        const double hz = 55 + 110 * Decay(t, 0.03);
        const double body = std::sin(kTau * o.Step(hz, rate)) * Decay(t, 0.05);
        const double puff = lp.Step(rng.Signed(), 500, rate) * Decay(t, 0.02);
        return Attack(t, 0.002) * (body + 2.0 * puff);
    });
    Finish(s, 2);
    return s;
}

Sound Naki() {
    // A creature's squeal, "kyu-ii!": a buzzy voice through two formants,
    // gliding up then down with a little vibrato.
    const int rate = 11025;
    Osc o;
    BandPass f1, f2;
    const double len = 0.32;
    Sound s = Make(rate, len, [&](double t, int) {
        const double u = t / len;
        const double glide = u < 0.35 ? 480 + 520 * (u / 0.35) : 1000 - 300 * ((u - 0.35) / 0.65);
        const double hz = glide * (1 + 0.03 * std::sin(kTau * 22 * t));
        const double p = o.Step(hz, rate);
        const double saw = 2 * p - 1;
        const double vowel1 = 700 + 600 * std::min(1.0, u * 2), vowel2 = 1900 + 500 * std::min(1.0, u * 2);
        const double voice = f1.Step(saw, vowel1, 4, rate) + 0.7 * f2.Step(saw, vowel2, 5, rate);
        const double env = Attack(t, 0.015) * (u < 0.7 ? 1.0 : 1.0 - (u - 0.7) / 0.3);
        return env * voice;
    });
    Finish(s);
    return s;
}

Sound Hit() {
    // Ouch: a crunchy noise hit and a falling "bwow".
    const int rate = 11025;
    Prng rng(0x417u);
    Osc o;
    const double len = 0.36;
    Sound s = Make(rate, len, [&](double t, int) {
        const double hz = 700 * std::pow(2.0, -t / len * 2.4);
        const double tone = SoftSquare(o.Step(hz * (1 + 0.05 * std::sin(kTau * 30 * t)), rate), 4.0);
        const double crunch = rng.Signed() * Decay(t, 0.025);
        return Attack(t, 0.002) * (0.8 * tone * Decay(t, 0.16) + 0.7 * crunch);
    });
    Finish(s);
    return s;
}

Sound Bomb() {
    // A blast: a noise burst whose brightness dies away over a deep thump.
    const int rate = 11025;
    Prng rng(0xB0B5u);
    LowPass lp1, lp2;
    Osc o;
    const double len = 1.1;
    Sound s = Make(rate, len, [&](double t, int) {
        const double cutoff = 150 + 3500 * Decay(t, 0.08);
        const double noise = lp2.Step(lp1.Step(rng.Signed(), cutoff, rate), cutoff * 1.5, rate);
        const double thump = std::sin(kTau * o.Step(30 + 70 * Decay(t, 0.07), rate)) * Decay(t, 0.2);
        return Attack(t, 0.003) * (1.8 * noise * Decay(t, 0.3) + 0.8 * thump);
    });
    Finish(s, 6);
    return s;
}

// Two voices: a lead (soft square) and a lower harmony (triangle).
struct FanfareNote {
    double Start, Len, Lead, Harmony;
};

Sound Fanfare(int rate, const std::vector<FanfareNote>& notes, double total) {
    std::vector<Osc> lead(notes.size()), harm(notes.size());
    return Make(rate, total, [&](double t, int) {
        double v = 0;
        for (size_t k = 0; k < notes.size(); ++k) {
            const FanfareNote& n = notes[k];
            if (t < n.Start) continue;
            const double local = t - n.Start;
            const double env = Attack(local, 0.005) * (local < n.Len ? 1.0 : Decay(local - n.Len, 0.04)) *
                               (0.75 + 0.25 * Decay(local, 0.05));
            if (env < 1e-4) continue;
            const double vib = 1 + (local > 0.15 ? 0.006 * std::sin(kTau * 6 * local) : 0.0);
            v += env * (0.6 * SoftSquare(lead[k].Step(Note(n.Lead) * vib, rate), 2.0) +
                        0.4 * Triangle(harm[k].Step(Note(n.Harmony), rate)));
        }
        return v;
    });
}

Sound HighScore() {
    Sound s = Fanfare(11025,
                      {{0.00, 0.09, G5, C5}, {0.11, 0.09, C6, E5}, {0.22, 0.09, E6, G5}, {0.33, 0.16, G6, C6},
                       {0.52, 0.09, E6, G5}, {0.63, 0.45, C7, E6}},
                      1.25);
    Finish(s);
    return s;
}

Sound Bonus() {
    // The fever starts: a fast upward run, then a bright trill.
    const int rate = 11025;
    std::vector<double> run{C6, D6, E6, G6, A6, C7};
    const double step = 0.045;
    Osc o, o2;
    const double len = step * static_cast<double>(run.size()) + 0.42;
    Sound s = Make(rate, len, [&](double t, int) {
        const int k = static_cast<int>(t / step);
        double hz;
        double env;
        if (k < static_cast<int>(run.size())) {
            hz = Note(run[static_cast<size_t>(k)]);
            env = 0.85;
        } else {
            const double local = t - step * static_cast<double>(run.size());
            hz = Note(static_cast<int>(local / 0.035) % 2 ? E7 : C7);
            env = Decay(local, 0.22);
        }
        return Attack(t, 0.004) * env * (0.7 * SoftSquare(o.Step(hz, rate), 2.0) + 0.3 * std::sin(kTau * o2.Step(hz * 0.5, rate)));
    });
    Finish(s);
    return s;
}

Sound Bell() {
    // A hand bell rung through a dash: struck again and again, each strike
    // a set of inharmonic partials ringing down.
    const int rate = 44100;
    const double base = 1244.5;   // a bright D#6
    const double partials[][3] = {{1.0, 1.0, 0.45}, {2.0, 0.55, 0.3}, {2.76, 0.45, 0.2}, {4.07, 0.25, 0.12},
                                  {5.40, 0.18, 0.08}, {0.5, 0.3, 0.6}};
    const double strike = 0.14, len = 1.15;
    const int strikes = static_cast<int>(len / strike);
    Sound s = Make(rate, len, [&](double t, int) {
        double v = 0;
        for (int k = 0; k < strikes; ++k) {
            const double t0 = k * strike;
            if (t < t0) break;
            const double local = t - t0;
            const double loud = (k % 2 ? 0.75 : 1.0) * (k + 1 == strikes ? 1.0 : 1.0);
            for (const auto& p : partials)
                v += loud * p[1] * std::sin(kTau * base * p[0] * local + k) * Decay(local, p[2]) * Attack(local, 0.001);
        }
        // The last stroke rings out; the whole thing fades at the end.
        const double tail = t > len - 0.25 ? (len - t) / 0.25 : 1.0;
        return v * tail;
    });
    Finish(s, 4);
    return s;
}

Sound LevelUp() {
    Sound s = Fanfare(22050,
                      {{0.00, 0.07, C6, G5}, {0.08, 0.07, E6, C6}, {0.16, 0.07, G6, E6}, {0.24, 0.30, C7, G6}},
                      0.72);
    Finish(s);
    return s;
}

Sound Oee() {
    // A dizzy "oh-eh" wobble: a voice with a wide, slow vibrato, sliding
    // down while its vowel turns.
    const int rate = 8820;
    Osc o;
    BandPass f1, f2;
    const double len = 0.62;
    Sound s = Make(rate, len, [&](double t, int) {
        const double u = t / len;
        const double hz = (330 - 110 * u) * (1 + 0.12 * std::sin(kTau * 7 * t));
        const double p = o.Step(hz, rate);
        const double pulse = p < 0.3 ? 1.0 : -0.43;
        const double v1 = 500 + 200 * u, v2 = 900 + 1100 * u;   // "o" toward "e"
        const double voice = f1.Step(pulse, v1, 3, rate) + 0.6 * f2.Step(pulse, v2, 4, rate);
        return Attack(t, 0.02) * (u < 0.75 ? 1.0 : 1.0 - (u - 0.75) / 0.25) * voice;
    });
    Finish(s);
    return s;
}

}  // namespace

std::vector<NamedSound> MakeSounds() {
    return {
        {"wav/eat.wav", Eat()},         {"wav/fever.wav", Fever()},   {"wav/highjump.wav", HighJump()},
        {"wav/quake.wav", Quake()},     {"wav/charge.wav", Charge()}, {"wav/land.wav", Land()},
        {"wav/naki.wav", Naki()},       {"wav/hit.wav", Hit()},       {"wav/bomb.wav", Bomb()},
        {"wav/highscore.wav", HighScore()}, {"wav/bonus.wav", Bonus()}, {"wav/bell.wav", Bell()},
        {"wav/levelup.wav", LevelUp()}, {"wav/oee.wav", Oee()},
    };
}

}  // namespace gen
