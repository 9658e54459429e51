// A second, independent LV2 host: the reference host library lilv finds the built bundle
// on LV2_PATH, instantiates it with the features a real host offers (URID map and unmap,
// options with the block lengths and the rate, bounded block length) and runs audio
// through it. What comes out, and the latency it reports, must be exactly what the
// processor gives when driven directly.
#include "PluginProcessor.h"
#include "TestSignals.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace
{
const char* const pluginUri = "https://zandl-audio.com/plugins/orvan";

// The host's URID table. The plug-in may map from any of its threads.
class UridTable
{
public:
    LV2_URID map (const char* uri)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        const auto found = ids.find (uri);
        if (found != ids.end())
            return found->second;
        uris.emplace_back (uri);
        return ids[uri] = (LV2_URID) uris.size();
    }

    const char* unmap (LV2_URID id)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return id >= 1 && id <= uris.size() ? uris[id - 1].c_str() : nullptr;
    }

    LV2_URID_Map mapFeatureData { this, [] (LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridTable*> (h)->map (uri); } };
    LV2_URID_Unmap unmapFeatureData { this, [] (LV2_URID_Unmap_Handle h, LV2_URID id) { return static_cast<UridTable*> (h)->unmap (id); } };

private:
    std::mutex mutex;
    std::map<std::string, LV2_URID> ids;
    std::vector<std::string> uris;
};

struct World
{
    LilvWorld* world = lilv_world_new();
    World() { lilv_world_load_all (world); } // reads LV2_PATH, as every lilv host does
    ~World() { lilv_world_free (world); }
    LilvNode* uri (const char* text) { return lilv_new_uri (world, text); }
};

struct Node
{
    LilvNode* node;
    ~Node() { lilv_node_free (node); }
};

// One plug-in instance with its ports connected the way a host connects them.
class HostedInstance
{
public:
    HostedInstance (World& w, const LilvPlugin* plugin, double rate, int maxBlock)
        : maxBlockLength (maxBlock), sampleRate ((float) rate)
    {
        const LV2_URID intType = urids.map (LV2_ATOM__Int);
        const LV2_URID floatType = urids.map (LV2_ATOM__Float);
        options = {
            { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_BUF_SIZE__minBlockLength), sizeof (int32_t), intType, &minBlockLength },
            { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_BUF_SIZE__maxBlockLength), sizeof (int32_t), intType, &maxBlockLength },
            { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_PARAMETERS__sampleRate), sizeof (float), floatType, &sampleRate },
            { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr },
        };
        features = { { LV2_URID__map, &urids.mapFeatureData },
                     { LV2_URID__unmap, &urids.unmapFeatureData },
                     { LV2_OPTIONS__options, options.data() },
                     { LV2_BUF_SIZE__boundedBlockLength, nullptr } };
        for (auto& f : features)
            featureList.push_back (&f);
        featureList.push_back (nullptr);

        instance = lilv_plugin_instantiate (plugin, rate, featureList.data());
        if (instance == nullptr)
            return;

        Node audio { w.uri (LV2_CORE__AudioPort) }, input { w.uri (LV2_CORE__InputPort) },
            atomPort { w.uri (LV2_ATOM__AtomPort) }, control { w.uri (LV2_CORE__ControlPort) };

        const uint32_t ports = lilv_plugin_get_num_ports (plugin);
        controls.resize (ports, 0.0f);
        for (uint32_t index = 0; index < ports; ++index)
        {
            const LilvPort* port = lilv_plugin_get_port_by_index (plugin, index);
            const bool isInput = lilv_port_is_a (plugin, port, input.node);
            const std::string symbol = lilv_node_as_string (lilv_port_get_symbol (plugin, port));
            if (lilv_port_is_a (plugin, port, audio.node))
            {
                audioBuffers.emplace_back ((size_t) maxBlock, 0.0f);
                (isInput ? audioInputs : audioOutputs).push_back (audioBuffers.size() - 1);
                lilv_instance_connect_port (instance, index, audioBuffers.back().data());
            }
            else if (lilv_port_is_a (plugin, port, atomPort.node))
            {
                auto& buffer = isInput ? atomIn : atomOut;
                buffer.assign (8192 / sizeof (uint64_t), 0);
                lilv_instance_connect_port (instance, index, buffer.data());
            }
            else if (lilv_port_is_a (plugin, port, control.node))
            {
                LilvNode* value = nullptr;
                lilv_port_get_range (plugin, port, &value, nullptr, nullptr);
                controls[index] = value != nullptr ? lilv_node_as_float (value) : 0.0f;
                lilv_node_free (value);
                if (symbol == "latency")
                    latencyPort = (int) index;
                lilv_instance_connect_port (instance, index, &controls[index]);
            }
        }
        lilv_instance_activate (instance);
    }

    ~HostedInstance()
    {
        if (instance != nullptr)
        {
            lilv_instance_deactivate (instance);
            lilv_instance_free (instance);
        }
    }

    bool valid() const { return instance != nullptr; }
    size_t numInputs() const { return audioInputs.size(); }
    size_t numOutputs() const { return audioOutputs.size(); }
    float latency() const { return latencyPort >= 0 ? controls[(size_t) latencyPort] : -1.0f; }
    bool hasLatencyPort() const { return latencyPort >= 0; }

    // Runs one block: stereo in from `input` at `start`, and back into `output`.
    void run (const testsignals::Stereo& input, size_t start, int frames, testsignals::Stereo& output)
    {
        for (size_t ch = 0; ch < audioInputs.size(); ++ch)
            for (int i = 0; i < frames; ++i)
                audioBuffers[audioInputs[ch]][(size_t) i] = (float) (ch == 0 ? input.left : input.right)[start + (size_t) i];

        // An empty event sequence in, a whole buffer offered for events out.
        auto* in = reinterpret_cast<LV2_Atom_Sequence*> (atomIn.data());
        in->atom.type = urids.map (LV2_ATOM__Sequence);
        in->atom.size = sizeof (LV2_Atom_Sequence_Body);
        in->body.unit = 0;
        in->body.pad = 0;
        auto* out = reinterpret_cast<LV2_Atom_Sequence*> (atomOut.data());
        out->atom.type = urids.map (LV2_ATOM__Chunk);
        out->atom.size = (uint32_t) (atomOut.size() * sizeof (uint64_t) - sizeof (LV2_Atom));

        lilv_instance_run (instance, (uint32_t) frames);

        for (int i = 0; i < frames; ++i)
        {
            output.left.push_back ((double) audioBuffers[audioOutputs[0]][(size_t) i]);
            output.right.push_back ((double) audioBuffers[audioOutputs[1]][(size_t) i]);
        }
    }

private:
    UridTable urids;
    int32_t minBlockLength = 0;
    int32_t maxBlockLength;
    float sampleRate;
    std::vector<LV2_Options_Option> options;
    std::vector<LV2_Feature> features;
    std::vector<const LV2_Feature*> featureList;
    LilvInstance* instance = nullptr;
    std::vector<std::vector<float>> audioBuffers;
    std::vector<size_t> audioInputs, audioOutputs;
    std::vector<uint64_t> atomIn, atomOut; // 64-bit words keep the sequences aligned
    std::vector<float> controls;
    int latencyPort = -1;
};

const LilvPlugin* findPlugin (World& w)
{
    Node uri { w.uri (pluginUri) };
    return lilv_plugins_get_by_uri (lilv_world_get_all_plugins (w.world), uri.node);
}
} // namespace

TEST (LilvHost, DiscoversTheBundleWithItsPortsAndClass)
{
    World w;
    const LilvPlugin* plugin = findPlugin (w);
    ASSERT_NE (plugin, nullptr) << "no " << pluginUri << " on LV2_PATH=" << (getenv ("LV2_PATH") ? getenv ("LV2_PATH") : "");
    EXPECT_TRUE (lilv_plugin_verify (plugin));

    Node name { lilv_plugin_get_name (plugin) };
    EXPECT_STREQ (lilv_node_as_string (name.node), "Orvan");
    EXPECT_STREQ (lilv_node_as_uri (lilv_plugin_class_get_uri (lilv_plugin_get_class (plugin))),
                  "http://lv2plug.in/ns/lv2core#LimiterPlugin");

    Node audio { w.uri (LV2_CORE__AudioPort) }, input { w.uri (LV2_CORE__InputPort) }, output { w.uri (LV2_CORE__OutputPort) };
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio.node, input.node, nullptr), 2u);
    EXPECT_EQ (lilv_plugin_get_num_ports_of_class (plugin, audio.node, output.node, nullptr), 2u);
    EXPECT_TRUE (lilv_plugin_has_latency (plugin));
}

TEST (LilvHost, RunsBitForBitLikeTheDirectProcessorAndReportsItsLatency)
{
    World w;
    const LilvPlugin* plugin = findPlugin (w);
    ASSERT_NE (plugin, nullptr);

    struct Case { double rate; int maxBlock; };
    for (const auto c : { Case { 48000.0, 512 }, Case { 44100.0, 64 }, Case { 96000.0, 1024 } })
    {
        SCOPED_TRACE (std::to_string (c.rate) + " Hz");
        HostedInstance hosted (w, plugin, c.rate, c.maxBlock);
        ASSERT_TRUE (hosted.valid());
        ASSERT_EQ (hosted.numInputs(), 2u);
        ASSERT_EQ (hosted.numOutputs(), 2u);
        ASSERT_TRUE (hosted.hasLatencyPort());

        OrvanAudioProcessor direct (HostPolicy {});
        direct.setRateAndBufferSizeDetails (c.rate, c.maxBlock);
        direct.prepareToPlay (c.rate, c.maxBlock);

        const auto input = testsignals::music (c.rate, (size_t) (c.rate * 0.5), 31, 2.0);
        testsignals::Stereo fromHost, fromDirect;
        juce::MidiBuffer midi;
        const int sizes[] = { c.maxBlock, 1, c.maxBlock / 2 + 1, 7, c.maxBlock };
        size_t position = 0;
        for (int b = 0; position + (size_t) c.maxBlock <= input.size(); ++b)
        {
            const int frames = sizes[b % 5];
            hosted.run (input, position, frames, fromHost);

            juce::AudioBuffer<float> block (2, frames);
            for (int i = 0; i < frames; ++i)
            {
                block.setSample (0, i, (float) input.left[position + (size_t) i]);
                block.setSample (1, i, (float) input.right[position + (size_t) i]);
            }
            direct.processBlock (block, midi);
            for (int i = 0; i < frames; ++i)
            {
                fromDirect.left.push_back ((double) block.getSample (0, i));
                fromDirect.right.push_back ((double) block.getSample (1, i));
            }
            position += (size_t) frames;
        }

        EXPECT_EQ (hosted.latency(), (float) OrvanAudioProcessor::lookaheadFor (c.rate));
        ASSERT_EQ (fromHost.size(), fromDirect.size());
        for (size_t i = 0; i < fromHost.size(); ++i)
        {
            ASSERT_EQ (fromHost.left[i], fromDirect.left[i]) << i;
            ASSERT_EQ (fromHost.right[i], fromDirect.right[i]) << i;
        }
        // Not silence: the lookahead has passed and the limited audio came through.
        EXPECT_NE (fromHost.left.back(), 0.0);
    }
}
