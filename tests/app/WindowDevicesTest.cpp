// The device list on real MIDI ports: a JACK server of the test's own and
// another program's input port that the window chooses. (That the player
// plays to the output chosen is checked on the same ports in the playback
// tests.)
#include <RtMidi.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>

#include "WindowFixture.h"
#include "playback/JackServer.h"
#include "playback/MidiDestinations.h"

TEST_F(WindowTest, DeviceListShowsThePortsAndTheOutputInEffect) {
    if (!JackServer::Installed()) GTEST_SKIP() << "jackd is not installed";
    JackServer jack;
    ASSERT_TRUE(jack.Ready()) << "jackd did not start";
    auto listener = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "tester");
    listener->openVirtualPort("inbox");
    MIDIRefreshDestinations();

    panel->reloadEndpoint();
    std::vector<std::string> items;
    for (int i = 0; i < panel->endpointlist->count(); ++i)
        items.push_back(panel->endpointlist->itemText(i).toStdString());
    EXPECT_EQ(items, MidiDeviceList());  // as the player lists them, MIDI_MAPPER first
    EXPECT_EQ(panel->endpointlist->currentIndex(), 0);  // the synthesizer, chosen at start
    EXPECT_EQ(CurrentOutput(), -1);

    // Item 1 is destination 0.
    panel->endpointlist->setCurrentIndex(1);
    panel->SelectDevice();
    EXPECT_EQ(CurrentOutput(), 0);

    // The port chosen in the list is the output.
    const int inbox = panel->endpointlist->findText(QStringLiteral("tester:inbox"));
    ASSERT_GE(inbox, 1);
    panel->endpointlist->setCurrentIndex(inbox);
    emit panel->endpointlist->activated(inbox);
    EXPECT_EQ(CurrentOutput(), inbox - 1);
    Load("short.mid", ShortSong());

    // A switch rebuilds the list; it still shows the output in effect.
    QTest::mouseClick(panel->HorizontalSwitch(), Qt::LeftButton);
    EXPECT_EQ(panel->endpointlist->currentIndex(), inbox);
    EXPECT_EQ(CurrentOutput(), inbox - 1);

    // When that port goes away the synthesizer takes over, and says so.
    listener.reset();
    QTest::qWait(300);  // the destinations are listed afresh after a quarter second
    MIDIRefreshDestinations();
    QCoreApplication::processEvents();
    panel->MessageArea()->clear();
    panel->reloadEndpoint();
    // The port may still be listed: then it stays chosen.
    const bool gone = inbox >= panel->endpointlist->count();
    EXPECT_EQ(panel->endpointlist->currentIndex(), gone ? 0 : inbox);
    if (gone) {
        EXPECT_EQ(CurrentOutput(), -1);
        EXPECT_TRUE(WaitFor([&] { return !panel->MessageArea()->toPlainText().isEmpty(); }));
    }
    SetOutput(-1);
}
