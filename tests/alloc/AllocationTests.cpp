// The audio thread must never allocate once it runs: an allocation can take a lock inside
// the allocator and stall the host's callback. This binary replaces the global allocation
// functions with counting ones (which is why it is a program of its own) and counts what
// the calling thread allocates while `processBlock` runs.
#include "PluginProcessor.h"
#include "TestSignals.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace
{
thread_local bool counting = false;
thread_local long allocations = 0;

void* allocate (std::size_t size, std::size_t alignment = 0)
{
    if (counting)
        ++allocations;
    void* p = nullptr;
    if (alignment > alignof (std::max_align_t))
        p = std::aligned_alloc (alignment, (size + alignment - 1) / alignment * alignment);
    else
        p = std::malloc (size == 0 ? 1 : size);
    return p;
}

void* allocateOrThrow (std::size_t size, std::size_t alignment = 0)
{
    if (void* p = allocate (size, alignment))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new (std::size_t size) { return allocateOrThrow (size); }
void* operator new[] (std::size_t size) { return allocateOrThrow (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept { return allocate (size); }
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept { return allocate (size); }
void* operator new (std::size_t size, std::align_val_t a) { return allocateOrThrow (size, (std::size_t) a); }
void* operator new[] (std::size_t size, std::align_val_t a) { return allocateOrThrow (size, (std::size_t) a); }
void operator delete (void* p) noexcept { std::free (p); }
void operator delete[] (void* p) noexcept { std::free (p); }
void operator delete (void* p, std::size_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::size_t) noexcept { std::free (p); }
void operator delete (void* p, std::align_val_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::align_val_t) noexcept { std::free (p); }
void operator delete (void* p, std::size_t, std::align_val_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept { std::free (p); }

namespace
{
template <typename Sample>
long allocationsWhileProcessing (OrvanAudioProcessor& processor, juce::AudioBuffer<Sample>& buffer)
{
    juce::MidiBuffer midi;
    allocations = 0;
    counting = true;
    processor.processBlock (buffer, midi);
    counting = false;
    return allocations;
}

template <typename Sample>
void fill (juce::AudioBuffer<Sample>& buffer, testsignals::Random& random)
{
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (ch, i, (Sample) (2.0 * random.next()));
}
} // namespace

TEST (Allocation, CounterSeesAllocations)
{
    static int* volatile sink = nullptr;
    counting = true;
    allocations = 0;
    sink = new int (3);
    counting = false;
    delete sink;
    EXPECT_EQ (allocations, 1);
}

TEST (Allocation, NoneInsideProcessBlockAfterTheFirstBlock)
{
    struct Case { int channels; bool doublePrecision; };
    for (const auto c : { Case { 2, false }, Case { 1, false }, Case { 2, true }, Case { 1, true } })
    {
        SCOPED_TRACE (std::to_string (c.channels) + (c.doublePrecision ? " channels, double" : " channels, float"));
        OrvanAudioProcessor processor (HostPolicy {});
        const auto set = c.channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        ASSERT_TRUE (processor.setBusesLayout (layout));
        processor.setRateAndBufferSizeDetails (96000.0, 512);
        processor.prepareToPlay (96000.0, 512);

        testsignals::Random random (9);
        juce::AudioBuffer<float> floats (c.channels, 512);
        juce::AudioBuffer<double> doubles (c.channels, 512);

        const auto processOne = [&]
        {
            if (c.doublePrecision)
            {
                fill (doubles, random);
                return allocationsWhileProcessing (processor, doubles);
            }
            fill (floats, random);
            return allocationsWhileProcessing (processor, floats);
        };
        processOne(); // the first block may set things up

        // Steady state: full and short blocks, the level moving, the switch flipping.
        long total = 0;
        const int sizes[] = { 512, 1, 0, 333, 512, 64 };
        for (int b = 0; b < 200; ++b)
        {
            floats.setSize (c.channels, sizes[b % 6], false, false, true);
            doubles.setSize (c.channels, sizes[b % 6], false, false, true);
            processor.levelParameter->setValueNotifyingHost ((float) (random.next() * 0.5 + 0.5));
            processor.enableParameter->setValueNotifyingHost (b % 5 == 4 ? 0.0f : 1.0f);
            total += processOne();
        }
        EXPECT_EQ (total, 0);
    }
}

TEST (Allocation, ABlockLargerThanAnnouncedAllocatesOnceOnly)
{
    // A host that sends more than it announced gets one allocation for the wider scratch
    // buffer; from then on that size runs allocation-free too.
    OrvanAudioProcessor processor (HostPolicy {});
    processor.setRateAndBufferSizeDetails (48000.0, 256);
    processor.prepareToPlay (48000.0, 256);
    testsignals::Random random (4);
    juce::AudioBuffer<float> small (2, 256), large (2, 2048);
    fill (small, random);
    allocationsWhileProcessing (processor, small);
    fill (large, random);
    allocationsWhileProcessing (processor, large);

    long total = 0;
    for (int b = 0; b < 50; ++b)
    {
        fill (b % 2 ? small : large, random);
        total += allocationsWhileProcessing (processor, b % 2 ? small : large);
    }
    EXPECT_EQ (total, 0);
}
