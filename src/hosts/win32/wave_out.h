// Sound out through waveOut: the oldest of the Windows sound interfaces and
// still on every Windows, and the one Wine carries most faithfully to
// whatever the machine has (PulseAudio, ALSA), needing no COM or extra
// runtime. The game mixes its own sounds, so all it needs is a stream of
// 16-bit stereo at 44100 Hz; four buffers of 512 frames keep it some 46 ms
// ahead, short enough that a sound keeps up with its picture.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace pm::win32 {

class WaveOut {
public:
    using Fill = std::function<void(int16_t* stereo, size_t frames)>;

    WaveOut() = default;
    ~WaveOut() { Close(); }
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    // Opens the default device and starts playing what `fill` renders (from
    // a thread of its own). False with the reason when there is no device.
    bool Open(Fill fill, std::string& why);
    void Pause(bool paused);
    void Close();
    bool IsOpen() const { return device_ != nullptr; }

    static constexpr int Buffers = 4;
    static constexpr size_t FramesPerBuffer = 512;

private:
    void Run();

    void* device_ = nullptr;   // HWAVEOUT
    void* event_ = nullptr;    // signalled as each buffer is done
    Fill fill_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int16_t samples_[Buffers][FramesPerBuffer * 2] = {};
    unsigned char headers_[Buffers][64] = {};   // WAVEHDR, kept opaque here
};

}  // namespace pm::win32
