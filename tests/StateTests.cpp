// The saved-state blob: its exact bytes, and every rule of restoring it.
#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
juce::MemoryBlock blobWithXml (const juce::String& xml, int64_t lengthField = -1, const char* magic = "VC2!")
{
    juce::MemoryBlock block;
    block.append (magic, 4);
    const auto utf8 = xml.toRawUTF8();
    const auto length = (uint32_t) (lengthField >= 0 ? lengthField : (int) std::strlen (utf8));
    const uint32_t le = juce::ByteOrder::swapIfBigEndian (length);
    block.append (&le, 4);
    block.append (utf8, std::strlen (utf8));
    block.append ("", 1);
    return block;
}

juce::MemoryBlock blobWithAttributes (const juce::String& attributes, const juce::String& tag = "MYPLUGINSETTINGS")
{
    return blobWithXml ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <" + tag + " " + attributes + "/>");
}

struct ListenerCount : juce::AudioProcessorParameter::Listener
{
    int calls = 0;
    void parameterValueChanged (int, float) override { ++calls; }
    void parameterGestureChanged (int, bool) override {}
};

// The default level as a restore leaves it: on the 0.01 grid counted from -6.0 in
// single precision, a hair away from the float nearest -0.1.
float snappedDefault()
{
    OrvanAudioProcessor processor (HostPolicy {});
    return processor.levelParameter->convertFrom0to1 (processor.levelParameter->convertTo0to1 (-0.1f));
}

void restore (OrvanAudioProcessor& processor, const juce::MemoryBlock& block)
{
    processor.setStateInformation (block.getData(), (int) block.getSize());
}
} // namespace

TEST (State, FreshInstanceSavesTheExactLayout)
{
    OrvanAudioProcessor processor (HostPolicy {});
    juce::MemoryBlock block;
    block.append ("stale content that must go", 26);
    processor.getStateInformation (block);

    const juce::String xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <MYPLUGINSETTINGS dbEnable=\"1\" dbMain=\""
                             + juce::var ((double) -0.1f).toString() + "\"/>";
    const auto expected = blobWithXml (xml);
    ASSERT_EQ (block.getSize(), expected.getSize());
    EXPECT_EQ (block, expected);

    const auto* bytes = static_cast<const uint8_t*> (block.getData());
    EXPECT_EQ (std::memcmp (bytes, "VC2!", 4), 0);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (uint32_t) block.getSize() - 9);
    EXPECT_EQ (bytes[block.getSize() - 1], 0);
}

TEST (State, RoundTripLandsOnTheNearestStep)
{
    for (float level : { -0.1f, -6.0f, 0.0f, -1.23f, -3.456f, -0.004f })
    {
        OrvanAudioProcessor source (HostPolicy {});
        source.levelParameter->setValueNotifyingHost (source.levelParameter->convertTo0to1 (level));
        source.enableParameter->setValueNotifyingHost (0.0f);
        juce::MemoryBlock block;
        source.getStateInformation (block);

        OrvanAudioProcessor target (HostPolicy {});
        restore (target, block);
        EXPECT_FALSE (target.enableParameter->get());
        EXPECT_EQ (target.levelParameter->get(), source.levelParameter->get()) << level;

        juce::MemoryBlock again;
        target.getStateInformation (again);
        EXPECT_EQ (again, block);
    }
}

TEST (State, RestoredValuesAreConvertedAndSnapped)
{
    const struct { const char* attributes; bool enabled; float level; } cases[] = {
        { "dbEnable=\"1\" dbMain=\"-20\"", true, -6.0f },
        { "dbEnable=\"1\" dbMain=\"3\"", true, 0.0f },
        { "dbEnable=\"0\" dbMain=\"-1.234\"", false, -1.23f },
        { "dbEnable=\"0.7\" dbMain=\"-2.5\"", true, -2.5f },
        { "dbEnable=\"2\" dbMain=\"-2.5\"", true, -2.5f },
        { "dbEnable=\"0.2\" dbMain=\"-2.5\"", false, -2.5f },
        { "dbEnable=\"yes\" dbMain=\"loud\"", false, 0.0f },     // no number reads as 0.0
        { "dbEnable=\"1\" dbMain=\"-inf\"", true, -6.0f },
        { "dbEnable=\"0\"", false, -4.0f },                      // missing level keeps the current one
        { "dbMain=\"-0.5\"", false, -0.5f },                     // missing switch keeps the current one
        { "dbEnable=\"nan\" dbMain=\"nan\"", false, -4.0f },     // NaN keeps both as they were
        { "dbEnable=\"1\" DBMAIN=\"-1\"", true, -4.0f },         // attribute names are exact
    };
    for (const auto& c : cases)
    {
        OrvanAudioProcessor processor (HostPolicy {});
        processor.enableParameter->setValueNotifyingHost (0.0f);
        processor.levelParameter->setValueNotifyingHost (processor.levelParameter->convertTo0to1 (-4.0f));
        restore (processor, blobWithAttributes (c.attributes));
        EXPECT_EQ (processor.enableParameter->get(), c.enabled) << c.attributes;
        EXPECT_FLOAT_EQ (processor.levelParameter->get(), c.level) << c.attributes;

        const float enable = static_cast<juce::AudioProcessorParameter&> (*processor.enableParameter).getValue();
        EXPECT_TRUE (enable >= 0.0f && enable <= 1.0f) << c.attributes;
    }
}

TEST (State, AcceptedBlobsAnnounceBothParameters)
{
    OrvanAudioProcessor processor (HostPolicy {});
    ListenerCount enable, level;
    processor.enableParameter->addListener (&enable);
    processor.levelParameter->addListener (&level);

    restore (processor, blobWithAttributes ("dbEnable=\"1\" DBMAIN=\"-1\"", "myPluginSettings"));
    EXPECT_EQ (enable.calls, 1);
    EXPECT_EQ (level.calls, 1);
    EXPECT_TRUE (processor.enableParameter->get());
    EXPECT_EQ (processor.levelParameter->get(), snappedDefault());

    processor.enableParameter->removeListener (&enable);
    processor.levelParameter->removeListener (&level);
}

TEST (State, BadBlobsChangeNothing)
{
    const juce::String good = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <MYPLUGINSETTINGS dbEnable=\"0\" dbMain=\"-5\"/>";
    const auto valid = blobWithXml (good);
    std::vector<std::pair<std::string, juce::MemoryBlock>> cases;
    cases.push_back ({ "empty", juce::MemoryBlock() });
    cases.push_back ({ "eight bytes", juce::MemoryBlock (valid.getData(), 8) });
    cases.push_back ({ "wrong magic", blobWithXml (good, -1, "VC3!") });
    cases.push_back ({ "zero length", blobWithXml (good, 0) });
    cases.push_back ({ "negative length", blobWithXml (good, (int64_t) 0x80000005) });
    cases.push_back ({ "not xml", blobWithXml ("MYPLUGINSETTINGS dbEnable=0") });
    cases.push_back ({ "malformed xml", blobWithXml ("<?xml version=\"1.0\"?><") });
    cases.push_back ({ "empty text", blobWithXml ("", 10) });
    cases.push_back ({ "other tag", blobWithAttributes ("dbEnable=\"0\" dbMain=\"-5\"", "OTHERSETTINGS") });
    cases.push_back ({ "truncated", juce::MemoryBlock (valid.getData(), 40) });

    for (const auto& [name, block] : cases)
    {
        OrvanAudioProcessor processor (HostPolicy {});
        ListenerCount calls;
        processor.levelParameter->addListener (&calls);
        restore (processor, block);
        EXPECT_TRUE (processor.enableParameter->get()) << name;
        EXPECT_EQ (processor.levelParameter->get(), -0.1f) << name;
        EXPECT_EQ (calls.calls, 0) << name;
        processor.levelParameter->removeListener (&calls);
    }
    OrvanAudioProcessor processor (HostPolicy {});
    processor.setStateInformation (nullptr, 100);
    EXPECT_TRUE (processor.enableParameter->get());
}

TEST (State, LengthLargerThanTheDataIsCutToTheData)
{
    OrvanAudioProcessor processor (HostPolicy {});
    restore (processor, blobWithXml ("<MYPLUGINSETTINGS dbEnable=\"0\" dbMain=\"-2\"/>", 100000));
    EXPECT_FALSE (processor.enableParameter->get());
    EXPECT_FLOAT_EQ (processor.levelParameter->get(), -2.0f);
}
