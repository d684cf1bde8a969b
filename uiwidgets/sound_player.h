// Short sounds (the programs' WAVE resources) played one after another without blocking the caller:
// a request joins a short queue and plays once those before it have; a request that finds the queue
// full is dropped. Without an audio output nothing plays and nothing waits.
#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>

class QAudioSink;
class QBuffer;

/// The samples of a WAVE file and their format.
struct CWaveSound {
    QAudioFormat format;
    QByteArray samples;
};

/// Reads a RIFF WAVE file of uncompressed PCM (8 or 16 bits, 1 or 2 channels); nothing when it is not
/// one or its data reaches past its end.
std::optional<CWaveSound> ParseWave(std::span<const unsigned char> file);

class CSoundPlayer : public QObject {
    Q_OBJECT
public:
    /// Sounds waiting behind the one that plays; more are dropped.
    static constexpr size_t kMaxWaiting = 3;

    explicit CSoundPlayer(QObject* parent = nullptr);
    ~CSoundPlayer() override;

    /// Queues a WAVE file's sound. False when it is dropped: no audio output, not a sound that can
    /// be played, or the queue full.
    bool Play(std::span<const unsigned char> waveFile);
    /// Queues the sound resource id of the current language (QELTA_RESOURCE_SOUND).
    bool PlayResource(uint32_t nId);

    bool IsPlaying() const { return m_bPlaying; }
    size_t WaitingCount() const { return m_waiting.size(); }

protected:
    /// Whether there is an audio output to play on.
    virtual bool HasOutput() const;
    /// Starts a sound on the output; SoundFinished is to follow once it ended. False when it cannot
    /// start (the next one is tried then).
    virtual bool StartSound(const CWaveSound& sound);
    /// The sound started last has ended (or stopped): the next one starts.
    void SoundFinished();

private:
    void StartNext();
    void ReleaseSink();

    std::deque<CWaveSound> m_waiting;
    bool m_bPlaying = false;
    QAudioSink* m_pSink = nullptr;
    QBuffer* m_pBuffer = nullptr;
};
