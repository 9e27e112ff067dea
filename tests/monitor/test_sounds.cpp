// The notification sounds: every trap row that plays a sound finds its file
// in the sound folder the monitor plays from (the resource folder's text
// 3199), and every file there is a playable WAVE file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "nlist/Nlist.h"
#include "nwatch/TrapHandler.h"
#include "nwatch/TrapTable.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;

struct SoundRecorder : TrapChannels {
    std::vector<std::string> played;
    bool MayOpenListWindow() override { return false; }
    void OpenListWindow() override {}
    void Popup(const NotificationRecord&) override {}
    void PlaySound(const std::string& path) override { played.push_back(path); }
    void SendMail(const NotificationRecord&) override {}
    void WriteTrapLog(const NotificationRecord&, int) override {}
};

// A RIFF/WAVE file with a PCM format chunk and a non-empty data chunk.
std::string WaveProblem(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot be opened";
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 44) return "too short for a WAVE file";
    if (std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) return "not RIFF/WAVE";
    size_t at = 12;
    bool format = false;
    while (at + 8 <= b.size()) {
        uint32_t size;
        std::memcpy(&size, b.data() + at + 4, 4);
        if (std::memcmp(b.data() + at, "fmt ", 4) == 0) {
            uint16_t tag;
            std::memcpy(&tag, b.data() + at + 8, 2);
            if (tag != 1) return "not PCM";
            format = true;
        } else if (std::memcmp(b.data() + at, "data", 4) == 0) {
            if (!format) return "data before the format chunk";
            if (size == 0 || at + 8 + size > b.size()) return "empty or cut data chunk";
            return "";
        }
        at += 8 + size + (size & 1);
    }
    return "no data chunk";
}

TEST(NotificationSounds, EverySoundRowFindsItsFileInTheBuildsSoundFolder)
{
    qavres::StringTable language;
    ASSERT_TRUE(language.Load(qavres::kLanguage));
    qavres::ObjectTable objects;
    ASSERT_TRUE(objects.Load());
    // The folder the monitor builds for the sound channel.
    const std::string folder = qavres::ResourceDir() + "/" + language.Get(3199);
    EXPECT_EQ(std::filesystem::weakly_canonical(folder),
              std::filesystem::weakly_canonical(std::string(QAV_BINARY_DIR) + "/share/qav/sound"));

    ClearListData();
    ListData maker;
    maker.ipAddress = 0x7F00000B;
    maker.isBCP = 1;
    AddToListData(maker);
    ReadContext context;
    context.objects = &objects;
    context.language = &language;
    ChannelSettings beep;
    beep.beep = true;

    std::set<std::string> files;
    int soundRows = 0;
    for (int i = 0; i < kTrapRowCount; ++i) {
        const TrapRow& row = TrapRowAt(i);
        if (row.generic < 0) continue;
        TrapEvent e;
        e.generic = row.generic;
        e.specific = row.specific;
        e.address = maker.ipAddress;
        e.listIndex = 0;
        SoundRecorder rec;
        const TrapOutcome out = HandleTrapEvent(e, beep, context, folder, rec);
        if (!row.sound) {
            EXPECT_TRUE(rec.played.empty()) << "row " << i;
            continue;
        }
        ++soundRows;
        ASSERT_EQ(rec.played.size(), 1u) << "row " << i;
        EXPECT_TRUE(out.sound);
        const std::string& path = rec.played[0];
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0) << "row " << i << ": " << path << " is missing";
        EXPECT_TRUE(S_ISREG(st.st_mode)) << path;
        EXPECT_EQ(WaveProblem(path), "") << path;
        files.insert(path);
    }
    EXPECT_EQ(soundRows, 30);
    EXPECT_EQ(files.size(), 15u); // each of the fifteen sounds is in use
    // An enterprise trap of no row plays the printer-error sound of row 51.
    TrapEvent unknown;
    unknown.generic = 6;
    unknown.specific = 120;
    unknown.address = maker.ipAddress;
    unknown.listIndex = 0;
    SoundRecorder rec;
    HandleTrapEvent(unknown, beep, context, folder, rec);
    EXPECT_EQ(rec.played, std::vector<std::string>{folder + "/PrinterError.wav"});
}

} // namespace
