#include "hosts/win32/wave_out.h"

#include <windows.h>
#include <mmsystem.h>

#include "platform/mixer.h"

namespace pm::win32 {

namespace {

static_assert(sizeof(WAVEHDR) <= 64, "WaveOut::headers_ is too small");

std::string WaveError(MMRESULT code) {
    wchar_t text[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextW(code, text, MAXERRORLENGTH) != MMSYSERR_NOERROR) return "error " + std::to_string(code);
    std::string out;
    for (const wchar_t* c = text; *c; ++c) out += *c < 128 ? static_cast<char>(*c) : '?';
    return out;
}

}  // namespace

bool WaveOut::Open(Fill fill, std::string& why) {
    if (device_) return true;
    if (waveOutGetNumDevs() == 0) {
        why = "no sound device";
        return false;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = Mixer::OutputRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT device = nullptr;
    const MMRESULT opened = waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event_), 0,
                                        CALLBACK_EVENT);
    if (opened != MMSYSERR_NOERROR) {
        CloseHandle(event_);
        event_ = nullptr;
        why = WaveError(opened);
        return false;
    }
    device_ = device;
    fill_ = std::move(fill);
    for (int i = 0; i < Buffers; ++i) {
        auto* h = reinterpret_cast<WAVEHDR*>(headers_[i]);
        *h = WAVEHDR{};
        h->lpData = reinterpret_cast<LPSTR>(samples_[i]);
        h->dwBufferLength = sizeof samples_[i];
        waveOutPrepareHeader(device, h, sizeof(WAVEHDR));
        h->dwFlags |= WHDR_DONE;   // free to fill
    }
    stop_ = false;
    thread_ = std::thread(&WaveOut::Run, this);
    return true;
}

// Keeps every free buffer filled and queued until told to stop.
void WaveOut::Run() {
    const auto device = static_cast<HWAVEOUT>(device_);
    while (!stop_) {
        for (int i = 0; i < Buffers && !stop_; ++i) {
            auto* h = reinterpret_cast<WAVEHDR*>(headers_[i]);
            if (!(h->dwFlags & WHDR_DONE)) continue;
            fill_(samples_[i], FramesPerBuffer);
            h->dwFlags &= ~WHDR_DONE;
            waveOutWrite(device, h, sizeof(WAVEHDR));
        }
        WaitForSingleObject(event_, 100);
    }
}

void WaveOut::Pause(bool paused) {
    if (!device_) return;
    if (paused)
        waveOutPause(static_cast<HWAVEOUT>(device_));
    else
        waveOutRestart(static_cast<HWAVEOUT>(device_));
}

void WaveOut::Close() {
    if (!device_) return;
    stop_ = true;
    SetEvent(event_);
    if (thread_.joinable()) thread_.join();
    const auto device = static_cast<HWAVEOUT>(device_);
    waveOutReset(device);
    for (int i = 0; i < Buffers; ++i) waveOutUnprepareHeader(device, reinterpret_cast<WAVEHDR*>(headers_[i]), sizeof(WAVEHDR));
    waveOutClose(device);
    CloseHandle(event_);
    device_ = event_ = nullptr;
}

}  // namespace pm::win32
