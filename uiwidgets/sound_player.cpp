#include "uiwidgets/sound_player.h"

#include "common/resource_locale.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

#include <cstring>

namespace {

uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

} // namespace

std::optional<CWaveSound> ParseWave(std::span<const unsigned char> file)
{
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return std::nullopt;
    std::optional<QAudioFormat> format;
    size_t at = 12;
    while (file.size() - at >= 8) {
        const unsigned char* chunk = file.data() + at;
        const uint32_t size = le32(chunk + 4);
        if (size > file.size() - at - 8)
            return std::nullopt;
        const unsigned char* body = chunk + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || le16(body) != 1)
                return std::nullopt; // only plain PCM
            const int channels = le16(body + 2);
            const uint32_t rate = le32(body + 4);
            const int bits = le16(body + 14);
            if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate < 1000 || rate > 192000)
                return std::nullopt;
            QAudioFormat f;
            f.setSampleRate(static_cast<int>(rate));
            f.setChannelCount(channels);
            f.setSampleFormat(bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
            format = f;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!format)
                return std::nullopt;
            CWaveSound sound;
            sound.format = *format;
            sound.samples = QByteArray(reinterpret_cast<const char*>(body), static_cast<qsizetype>(size));
            return sound;
        }
        at += 8 + size + (size & 1); // chunks are padded to an even length
        if (at > file.size())
            return std::nullopt;
    }
    return std::nullopt;
}

CSoundPlayer::CSoundPlayer(QObject* parent) : QObject(parent) {}

CSoundPlayer::~CSoundPlayer()
{
    ReleaseSink();
}

bool CSoundPlayer::Play(std::span<const unsigned char> waveFile)
{
    if (!HasOutput())
        return false;
    auto sound = ParseWave(waveFile);
    if (!sound || (m_bPlaying && m_waiting.size() >= kMaxWaiting))
        return false;
    m_waiting.push_back(std::move(*sound));
    if (!m_bPlaying)
        StartNext();
    return true;
}

bool CSoundPlayer::PlayResource(uint32_t nId)
{
    return Play(LoadResourceData(QELTA_RESOURCE_SOUND, nId));
}

bool CSoundPlayer::HasOutput() const
{
    return !QMediaDevices::defaultAudioOutput().isNull();
}

bool CSoundPlayer::StartSound(const CWaveSound& sound)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(sound.format))
        return false;
    m_pBuffer = new QBuffer(this);
    m_pBuffer->setData(sound.samples);
    m_pBuffer->open(QIODevice::ReadOnly);
    m_pSink = new QAudioSink(device, sound.format, this);
    connect(m_pSink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        // Idle: every sample was played; Stopped: the output failed or went away.
        if (state == QAudio::IdleState || state == QAudio::StoppedState)
            SoundFinished();
    });
    m_pSink->start(m_pBuffer);
    if (m_pSink->error() != QAudio::NoError) {
        ReleaseSink();
        return false;
    }
    return true;
}

void CSoundPlayer::SoundFinished()
{
    if (!m_bPlaying)
        return;
    m_bPlaying = false;
    // Not from within the sink's own signal: it is let go once control is back in the event loop.
    if (m_pSink) {
        m_pSink->disconnect(this);
        m_pSink->deleteLater();
        m_pBuffer->deleteLater();
        m_pSink = nullptr;
        m_pBuffer = nullptr;
    }
    StartNext();
}

void CSoundPlayer::StartNext()
{
    while (!m_bPlaying && !m_waiting.empty()) {
        const CWaveSound sound = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_bPlaying = true;
        if (!StartSound(sound))
            m_bPlaying = false;
    }
}

void CSoundPlayer::ReleaseSink()
{
    if (m_pSink) {
        m_pSink->disconnect(this);
        m_pSink->stop();
        delete m_pSink;
        m_pSink = nullptr;
    }
    delete m_pBuffer;
    m_pBuffer = nullptr;
}
