// Classifying and converting whole file images: MacBinary, format detection,
// format 0 <-> 1.
#include <gtest/gtest.h>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "support/TestEvents.h"

namespace {

Bytes InBuffer(const Bytes& file) {
    Bytes image(kMusicDataBufferSize, 0);
    std::copy(file.begin(), file.end(), image.begin());
    return image;
}

// A format-0 file whose events already stand in the order the conversion
// gives at one tick (the first event of the meta track, then of each channel
// in ascending order; one event per track and pass).
Bytes OrderedFormat0() {
    return Concat({HeaderChunk(0, 1, 96),
                   TrackChunk(Concat({smf::Text(0, 3, "Song"), smf::Program(0, 0, 5),
                                      smf::Cc(0, 3, 10, 64), smf::On(10, 0, 60), smf::On(10, 9, 36),
                                      smf::Off(48, 9, 36), smf::Off(20, 0, 60), smf::On(0, 3, 70),
                                      smf::Off(96, 3, 70), smf::Eot(0)}))});
}

}  // namespace

TEST(Format, ClassifiesAndChangesImages) {
    CaptureSink sink;
    const std::vector<std::pair<Bytes, int>> cases = {
        {SmallFormat0(), 0},        {HeaderChunk(1, 2, 96), 1},         {HeaderChunk(2, 1, 96), -1},
        {HeaderChunk(0, 5, 96), 0}, {Bytes{'M', 'T', 'h', 'd', 0}, -1},
    };
    for (auto [bytes, format] : cases) {
        EXPECT_EQ(MidiGetFormat(bytes.data(), long(bytes.size())), format);
    }
    EXPECT_EQ(MidiGetFormat(nullptr, 0), -1);
    Bytes mac = smf::WithMacBinary(SmallFormat0());
    EXPECT_EQ(MidiGetFormat(mac.data(), long(mac.size())), 0);
    EXPECT_EQ(std::memcmp(mac.data(), "MThd", 4), 0);  // the MacBinary header is gone

    const unsigned char magic[] = {'M', 'T', 'h', 'd'};
    mac = smf::WithMacBinary(SmallFormat0());
    long size = long(mac.size());
    Bytes wrong = {'R', 'I', 'F', 'F'};
    EXPECT_EQ(GneDeleteMacBinary(mac.data(), wrong.data(), &size), 0);
    EXPECT_EQ(size, long(mac.size()));
    EXPECT_EQ(GneDeleteMacBinary(mac.data(), magic, &size), 1);
    EXPECT_EQ(Bytes(mac.begin(), mac.begin() + size), SmallFormat0());

    sink.Clear();
    const Bytes original = OrderedFormat0();
    Bytes image = InBuffer(original);
    long image_size = long(original.size());

    EXPECT_EQ(MidiChangeFormat(image.data(), &image_size, 0), 1);  // already format 0
    EXPECT_EQ(image_size, long(original.size()));
    EXPECT_EQ(Bytes(image.begin(), image.begin() + image_size), original);

    EXPECT_EQ(MidiChangeFormat(image.data(), &image_size, 1), 1);
    EXPECT_EQ(MidiGetFormat(image.data(), image_size), 1);
    EXPECT_EQ(image[10] * 256 + image[11], 17);  // meta track and one per channel

    EXPECT_EQ(MidiChangeFormat(image.data(), &image_size, 0), 1);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + image_size), original);  // back, byte for byte
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_TRUE(sink.Alerts().empty());

    // A MacBinary image: the wrapper goes, and the size says so.
    Bytes mac_image = InBuffer(smf::WithMacBinary(original));
    long macSize = long(original.size()) + 128;
    EXPECT_EQ(MidiChangeFormat(mac_image.data(), &macSize, 0), 1);
    EXPECT_EQ(Bytes(mac_image.begin(), mac_image.begin() + macSize), original);

    // Only formats 0 and 1 are known; an unreadable image stays as it was.
    EXPECT_EQ(MidiChangeFormat(image.data(), &image_size, 2), 0);
    EXPECT_EQ(sink.Alerts().size(), 1u);
    Bytes text = InBuffer(Bytes(64, 'x'));
    long textSize = 64;
    EXPECT_EQ(MidiChangeFormat(text.data(), &textSize, 1), 0);
    EXPECT_EQ(textSize, 64);
    EXPECT_EQ(text[0], 'x');
}
