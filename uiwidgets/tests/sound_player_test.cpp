// The sound player: which WAVE files it reads, and that sounds play one after another in the order
// asked for while a burst beyond the queue is dropped, over an output the test ends sounds on.
#include "uiwidgets/sound_player.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string le16(uint16_t v) { return {char(v), char(v >> 8)}; }

std::string chunk(const std::string& id, const std::string& body, uint32_t sizeField)
{
    return id + le32(sizeField) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}
std::string chunk(const std::string& id, const std::string& body) { return chunk(id, body, uint32_t(body.size())); }

std::string fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    return chunk("fmt ", le16(tag) + le16(channels) + le32(rate) + le32(rate * channels * bits / 8)
                             + le16(uint16_t(channels * bits / 8)) + le16(bits));
}

std::string riff(const std::string& chunks) { return "RIFF" + le32(uint32_t(4 + chunks.size())) + "WAVE" + chunks; }

std::span<const unsigned char> bytes(const std::string& s)
{
    return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

TEST(SoundPlayer, ReadsPlainPcmWaveFilesOnly)
{
    const std::string pcm16 = fmt(1, 1, 22050, 16);
    struct Case {
        const char* what;
        std::string file;
        bool read;
        int channels = 0, rate = 0;
        QAudioFormat::SampleFormat sample = QAudioFormat::Unknown;
        std::string samples;
    } cases[] = {
        {"16-bit mono", riff(pcm16 + chunk("data", "abcd")), true, 1, 22050, QAudioFormat::Int16, "abcd"},
        {"8-bit stereo", riff(fmt(1, 2, 8000, 8) + chunk("data", "xy")), true, 2, 8000, QAudioFormat::UInt8, "xy"},
        {"a chunk of odd length before the data is padded",
         riff(pcm16 + chunk("LIST", "odd") + chunk("data", "zz")), true, 1, 22050, QAudioFormat::Int16, "zz"},
        {"compressed (ADPCM)", riff(fmt(2, 1, 22050, 16) + chunk("data", "abcd")), false, 0, 0, QAudioFormat::Unknown, ""},
        {"24 bits", riff(fmt(1, 1, 22050, 24) + chunk("data", "abc")), false, 0, 0, QAudioFormat::Unknown, ""},
        {"data before its format", riff(chunk("data", "abcd") + pcm16), false, 0, 0, QAudioFormat::Unknown, ""},
        {"data longer than the file", riff(pcm16 + chunk("data", "abcd", 4000)), false, 0, 0, QAudioFormat::Unknown, ""},
        {"a chunk size near 4 GiB", riff(pcm16 + chunk("LIST", "", 0xFFFFFFF8u) + chunk("data", "ab")), false, 0, 0, QAudioFormat::Unknown, ""},
        {"no data chunk", riff(pcm16), false, 0, 0, QAudioFormat::Unknown, ""},
        {"not RIFF", "RIFX" + riff(pcm16).substr(4), false, 0, 0, QAudioFormat::Unknown, ""},
        {"empty", "", false, 0, 0, QAudioFormat::Unknown, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto sound = ParseWave(bytes(c.file));
        ASSERT_EQ(sound.has_value(), c.read);
        if (!sound)
            continue;
        EXPECT_EQ(sound->format.channelCount(), c.channels);
        EXPECT_EQ(sound->format.sampleRate(), c.rate);
        EXPECT_EQ(sound->format.sampleFormat(), c.sample);
        EXPECT_EQ(sound->samples.toStdString(), c.samples);
    }
}

// An output that records what starts and lets the test end each sound.
class RecordingPlayer : public CSoundPlayer {
public:
    bool bOutput = true;
    std::vector<std::string> started;
    void Finish() { SoundFinished(); }

protected:
    bool HasOutput() const override { return bOutput; }
    bool StartSound(const CWaveSound& sound) override
    {
        started.push_back(sound.samples.toStdString());
        return sound.samples != "broken";
    }
};

std::string sound(const std::string& samples) { return riff(fmt(1, 1, 22050, 16) + chunk("data", samples)); }

TEST(SoundPlayer, PlaysInOrderAndDropsWhatTheQueueCannotHold)
{
    RecordingPlayer player;
    EXPECT_TRUE(player.Play(bytes(sound("s1"))));
    ASSERT_EQ(player.started, (std::vector<std::string>{"s1"})) << "the first starts at once";
    for (int i = 2; i <= 2 + int(CSoundPlayer::kMaxWaiting) - 1; ++i)
        EXPECT_TRUE(player.Play(bytes(sound("s" + std::to_string(i)))));
    EXPECT_FALSE(player.Play(bytes(sound("extra")))) << "a full queue drops the request";
    EXPECT_EQ(player.WaitingCount(), CSoundPlayer::kMaxWaiting);

    for (size_t i = 0; i < CSoundPlayer::kMaxWaiting; ++i)
        player.Finish();
    EXPECT_EQ(player.started, (std::vector<std::string>{"s1", "s2", "s3", "s4"}));
    player.Finish();
    EXPECT_FALSE(player.IsPlaying());
    player.Finish(); // an end nobody waits for changes nothing
    EXPECT_FALSE(player.IsPlaying());

    // A sound the output refuses is passed over for the next one.
    player.started.clear();
    EXPECT_TRUE(player.Play(bytes(sound("s5"))));
    EXPECT_TRUE(player.Play(bytes(sound("broken"))));
    EXPECT_TRUE(player.Play(bytes(sound("s6"))));
    player.Finish();
    EXPECT_EQ(player.started, (std::vector<std::string>{"s5", "broken", "s6"}));
    EXPECT_TRUE(player.IsPlaying());
}

TEST(SoundPlayer, WithoutAnOutputNothingPlaysOrWaits)
{
    RecordingPlayer player;
    player.bOutput = false;
    EXPECT_FALSE(player.Play(bytes(sound("s1"))));
    EXPECT_FALSE(player.Play(bytes(std::string("not a sound"))));
    EXPECT_TRUE(player.started.empty());
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.WaitingCount(), 0u);
}

} // namespace
