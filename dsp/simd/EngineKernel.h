// The block pipeline of the dynamics engine, shared by every instruction-set level: one template,
// instantiated once per level with an operations type local to its translation unit (so no copy
// compiled for one instruction set can stand in for another), performing the same IEEE double
// operations in the same order as the plain per-sample computation.
//
// What is serial and what is not. Only three values are carried from sample to sample: the
// smoothed gain (each step starts from the previous gain rounded to single precision) and the
// two meters (each starts from the previous level). Everything else depends on the samples
// alone and runs vectorised, kUnit frames at a time: the detector and the target gain (with
// (1 - a) t and (1 - r) t) and the input-meter candidates ("prepare"), then applying gain and
// output gain, the soft clipper, the output-meter candidates, the write-back and the output
// copy ("finish").
//
// The smoother chain is long (a multiply, an add, a choice and two conversions per sample) and
// leaves most of the processor idle; the vector work has plenty of parallelism. The processor
// overlaps the two only when they are close together in the instruction stream, so they are
// interleaved finely: the block runs as a software pipeline of steps of kStep frames, and
// within one step every two frames of the serial chains alternate with one unit of vector
// work:
//
//   step s:  chains over frames 0-1 of step s | prepare unit 0 of step s + 1
//            chains over frames 2-3           | finish unit 0 of step s - 1
//            chains over frames 4-5           | prepare unit 1 of step s + 1
//            chains over frames 6-7           | finish unit 1 of step s - 1
//            ... up to frame kStep - 1
//
// "Chains" are the smoother and the input meter over step s, and the output meter over the
// last step whose output candidates are known. The soft clipper is the exception: its kernel
// has long latencies and needs more registers than the chains leave free (interleaved with
// them it spills the chains to memory and lengthens them), so with it on the finish units of
// step s - 1 stop after gain and output gain, the step is soft-clipped in one call of the
// level's block tanh after the chains of step s, and its units are completed during step
// s + 1. Larger steps make that call cheaper per sample (16 frames measured best); completing
// a step later keeps the call away from the stores into the host's buffers, whose addresses
// could otherwise alias (modulo 4 KB) the stack slots the chains are reloaded from after the
// call and stall them, depending on where the host's buffers happen to lie.
//
// Order of memory accesses. A step's input is read (prepare) before it is overwritten in place
// (finish or complete), and a unit's output copy happens after everything that reads the
// unit's processed samples. Each output buffer is one of the input buffers or disjoint
// from them, so the output buffers end exactly as the plain sequence of passes (input meter,
// engine, output meter, copy) leaves them. With output buffers, the processed samples are
// written back only into an input channel that is also an output buffer (the host asked for
// the result there); the other input channels are only read, and their processed samples go
// from registers straight to the outputs. The plain sequence would have read them back from
// the input buffer, which nothing else writes: the same values.
//
// Stack: kRing step records of 5 x kStep doubles and 3 x kStep floats (4.2 KB, aligned to a
// cache line by hand) and small temporaries: the compiled block function reserves 4.5 to
// 4.8 KB (every level; x86-64, i686 and x86-64 Windows), the sequential pass it may call 0.4 KB
// and the block tanh 0.35 KB more, about 5.6 KB at the deepest.
#pragma once

#include "dsp/OutputSum.h"
#include "dsp/simd/EngineLevels.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__GNUC__)
#define QUORVEL_ENGINE_INLINE inline __attribute__((always_inline))
#else
#define QUORVEL_ENGINE_INLINE inline
#endif

namespace quorvel::engine_kernel {

using engine_levels::BlockJob;
using engine_levels::Coefficients;
using engine_levels::OutputMode;

constexpr int kUnit = 4;  // frames per call of a level's vector operations
constexpr int kStep = 16; // frames per pipeline step
constexpr int kUnits = kStep / kUnit;
constexpr int kRing = 5; // step records: s + 1 down to s - 3
// Blocks up to this long run their passes one after the other (runSequential): one step, or
// two with the soft clipper on, whose cost at the pipeline's drain outweighs the overlap there
// (measured).
constexpr int kSequentialFrames = kStep;
constexpr int kSequentialFramesClipped = 2 * kStep;
static_assert(kSequentialFramesClipped <= kRing * kStep, "one step record per step");

// float(tanh(double(x))) == x for every float x with |x| <= 2^-13 (signed zeros and subnormals
// included): tanh(x) = x (1 - x^2/3 + ...), and x^2/3 <= 2^-26/3 stays below 2^-25, the
// smallest distance from x to a rounding boundary relative to x (half the spacing below a
// power of two). FastPathTest checks it over every float of that range.
constexpr float kTanhIdentity = 0x1.0p-13f;

// The release step of both meters, stored as a negative double constant and added.
constexpr double kMeterRelease = -0.0001;

// One step of the pipeline: written by the vector units, read by the serial chains.
struct StepRecord {
    double target[kStep];      // t
    double attackPart[kStep];  // (1 - a) t
    double releasePart[kStep]; // (1 - r) t
    double inputLevel[kStep];  // input-meter candidate: the larger finite magnitude, or -1
    double outputLevel[kStep]; // the same for the processed samples
    float gain[kStep];         // the smoothed gain of each frame
    // With the soft clipper on: after gain and output gain, per unit left then right (kUnit
    // each); soft-clipped in place after the step's chains, completed a step later.
    float processed[kUnits][2 * kUnit];
    bool nonFiniteTarget; // an infinite detector level made some target NaN
};

// The serial state, held in registers across the block.
template <class Ops> struct Chains {
    typename Ops::Sd gain; // the stored gain, widened
    typename Ops::Sd inputMeter;
    typename Ops::Sd outputMeter;
    typename Ops::Sd attack;
    typename Ops::Sd release;
};

// One meter step: rise to a candidate above the level (strict), then release if above zero.
// The candidate is -1 for a frame without a finite magnitude, which never raises the meter.
template <class Ops>
QUORVEL_ENGINE_INLINE typename Ops::Sd meterStep(typename Ops::Sd level,
                                                 typename Ops::Sd candidate) {
    const typename Ops::Sd raised = Ops::maxKeep(candidate, level);
    const typename Ops::Sd released = Ops::add(raised, Ops::sd(kMeterRelease));
    return Ops::select(Ops::greater(raised, Ops::sd(0.0)), released, raised);
}

// One smoother step from the stored gain g towards the target: attack while g > t, release
// otherwise; the result is rounded to single precision, stored, and widened again as the next
// step's starting point. Both candidates are formed before the choice, so the choice is the
// only step of the chain that waits on the comparison. kGuarded keeps the gain for a NaN
// target (the plain computation keeps it whenever the new gain is not finite, and a NaN target
// is the only way to get one: t lies in [0, 1] otherwise).
template <class Ops, bool kGuarded>
QUORVEL_ENGINE_INLINE typename Ops::Sd
smootherStep(typename Ops::Sd g, const double* target, const double* attackPart,
             const double* releasePart, typename Ops::Sd attack, typename Ops::Sd release,
             float* gainOut) {
    using Sd = typename Ops::Sd;
    const Sd t = Ops::load(target);
    const Sd towardsAttack = Ops::add(Ops::mul(attack, g), Ops::load(attackPart));
    const Sd towardsRelease = Ops::add(Ops::mul(release, g), Ops::load(releasePart));
    Sd next = Ops::select(Ops::greater(g, t), towardsAttack, towardsRelease);
    if constexpr (kGuarded) {
        next = Ops::select(Ops::unordered(t), g, next);
    }
    return Ops::roundToFloat(next, gainOut);
}

// The smoother and the input meter over frames [first, first + n) of a step.
template <class Ops, bool kGuarded>
QUORVEL_ENGINE_INLINE void inputChains(Chains<Ops>& c, StepRecord& rec, int first, int n) {
    for (int i = first; i < first + n; ++i) {
        c.gain =
            smootherStep<Ops, kGuarded>(c.gain, rec.target + i, rec.attackPart + i,
                                        rec.releasePart + i, c.attack, c.release, rec.gain + i);
        c.inputMeter = meterStep<Ops>(c.inputMeter, Ops::load(rec.inputLevel + i));
    }
}

// The output meter over frames [first, first + n) of a finished step.
template <class Ops>
QUORVEL_ENGINE_INLINE void outputChain(Chains<Ops>& c, const StepRecord& rec, int first, int n) {
    for (int i = first; i < first + n; ++i) {
        c.outputMeter = meterStep<Ops>(c.outputMeter, Ops::load(rec.outputLevel + i));
    }
}

// Where the units of one step read and write: the step's first frame in the block's buffers.
struct Frames {
    float* left;
    float* right;
    float* outLeft;
    float* outRight;
};

inline Frames framesAt(const BlockJob& job, int first) {
    Frames f{job.left + first, job.right + first, nullptr, nullptr};
    if (job.output != OutputMode::None) {
        f.outLeft = job.outLeft + first;
        f.outRight = job.outRight + first;
    }
    return f;
}

// Which input channels get the processed samples back, fixed for the whole block: both (in
// place, and the engine on its own), neither (outputs apart from the inputs: the usual host),
// or as the job says (an output in one input channel only). Fixed at compile time for the first
// two, so that the interleaved steps carry no test and no pointer more than they need.
enum class WriteBack { Both, None, AsTheJobSays };

template <WriteBack kBack> QUORVEL_ENGINE_INLINE float* backOf(bool written, float* p) {
    if constexpr (kBack == WriteBack::Both) {
        return p;
    } else if constexpr (kBack == WriteBack::None) {
        return nullptr;
    } else {
        return written ? p : nullptr;
    }
}

template <class Ops>
QUORVEL_ENGINE_INLINE bool prepareUnit(const BlockJob& job, bool mono, const Frames& f,
                                       StepRecord& rec, int u) {
    const int i = u * kUnit;
    return Ops::prepare(f.left + i, f.right + i, mono, job.k, rec.target + i, rec.attackPart + i,
                        rec.releasePart + i, rec.inputLevel + i);
}

// Gain, output gain, soft clipper (if on), output-meter candidates, write-back and output copy
// of one unit, all in registers.
template <class Ops, WriteBack kBack>
QUORVEL_ENGINE_INLINE void finishUnit(const BlockJob& job, bool mono, const Frames& f,
                                      StepRecord& rec, int u, bool clip) {
    const int i = u * kUnit;
    Ops::finish(f.left + i, f.right + i, mono, rec.gain + i, job.k.outputGain, clip,
                rec.outputLevel + i, backOf<kBack>(job.writeBackLeft, f.left + i),
                backOf<kBack>(job.writeBackRight, f.right + i),
                f.outLeft != nullptr ? f.outLeft + i : nullptr,
                f.outRight != nullptr ? f.outRight + i : nullptr, job.output == OutputMode::Add);
}

// With the soft clipper on, the finish is split around it: gain and output gain per unit into
// `processed` (left then right, kUnit each), one soft-clipper call over the step, then the
// rest per unit.
template <class Ops>
QUORVEL_ENGINE_INLINE void applyUnit(const BlockJob& job, bool mono, const Frames& f,
                                     const StepRecord& rec, int u, float* processed) {
    const int i = u * kUnit;
    Ops::apply(f.left + i, f.right + i, mono, rec.gain + i, job.k.outputGain, processed);
}

template <class Ops, WriteBack kBack>
QUORVEL_ENGINE_INLINE void completeUnit(const BlockJob& job, bool mono, const Frames& f,
                                        StepRecord& rec, int u, const float* processed) {
    const int i = u * kUnit;
    Ops::complete(mono, processed, rec.outputLevel + i,
                  backOf<kBack>(job.writeBackLeft, f.left + i),
                  backOf<kBack>(job.writeBackRight, f.right + i),
                  f.outLeft != nullptr ? f.outLeft + i : nullptr,
                  f.outRight != nullptr ? f.outRight + i : nullptr, job.output == OutputMode::Add);
}

// One step of the pipeline (see the top of this file). Any of the records may be absent at the
// start and the end of the block; kSteady: all are present (the middle of a block), so nothing
// is tested.
//
// The soft clipper is the exception to the fine interleave: its kernel needs more registers
// than the serial chains leave free. With it on, the units of the step behind (s - 1) stop
// after gain and output gain, that step is soft-clipped in one call after the chains, and its
// units are completed during the next step (as `clipped`, s - 2). So the call comes right after
// the chains and the stack work of the units, never right after stores to the host's buffers.
template <class Ops, WriteBack kBack, bool kGuarded, bool kSteady>
QUORVEL_ENGINE_INLINE void
pipelineStep(Chains<Ops>& c, const BlockJob& job, bool mono, StepRecord* current, StepRecord* next,
             const Frames& nextFrames, StepRecord* behind, const Frames& behindFrames,
             StepRecord* clipped, const Frames& clippedFrames, const StepRecord* metered) {
    static_assert(kUnit == 4, "the interleave below");
    const bool clip = job.softClip;
    bool infinite = false;
    for (int u = 0; u < kUnits; ++u) {
        const int first = u * kUnit;
        if (kSteady || current != nullptr) {
            inputChains<Ops, kGuarded>(c, *current, first, 2);
        }
        if (kSteady || metered != nullptr) {
            outputChain<Ops>(c, *metered, first, 2);
        }
        if (kSteady || next != nullptr) {
            infinite |= prepareUnit<Ops>(job, mono, nextFrames, *next, u);
        }
        if (kSteady || current != nullptr) {
            inputChains<Ops, kGuarded>(c, *current, first + 2, 2);
        }
        if (kSteady || metered != nullptr) {
            outputChain<Ops>(c, *metered, first + 2, 2);
        }
        if (kSteady || behind != nullptr) {
            if (clip) {
                applyUnit<Ops>(job, mono, behindFrames, *behind, u, behind->processed[u]);
            } else {
                finishUnit<Ops, kBack>(job, mono, behindFrames, *behind, u, false);
            }
        }
        if (clip && (kSteady || clipped != nullptr)) {
            completeUnit<Ops, kBack>(job, mono, clippedFrames, *clipped, u, clipped->processed[u]);
        }
    }
    if (next != nullptr) {
        next->nonFiniteTarget = infinite;
    }
    // Below kTanhIdentity in magnitude the soft clipper returns its input (see there): a step
    // of such samples (a decay into silence, subnormal samples) skips the kernel, which is
    // slowest exactly there.
    if (clip && (kSteady || behind != nullptr) &&
        !Ops::allBelow(behind->processed[0], 2 * kStep, kTanhIdentity)) {
        Ops::tanh(behind->processed[0], 2 * kStep);
    }
}

template <class Ops> QUORVEL_ENGINE_INLINE double loadMeter(const std::atomic<float>* meter) {
    return meter != nullptr ? static_cast<double>(meter->load(std::memory_order_relaxed)) : 0.0;
}

template <class Ops>
QUORVEL_ENGINE_INLINE void publishMeter(std::atomic<float>* meter, typename Ops::Sd level) {
    if (meter != nullptr) {
        meter->store(static_cast<float>(Ops::value(level)), std::memory_order_relaxed);
    }
}

// Frame by frame, channel 0 then channel 1, as the plain output pass does.
inline void copyFrames(const float* l, const float* r, float* outL, float* outR, int frames,
                       bool add) {
    for (int i = 0; i < frames; ++i) {
        outL[i] = add ? outputSum(outL[i], l[i]) : l[i];
        outR[i] = add ? outputSum(outR[i], r[i]) : r[i];
    }
}

// Frames [first, first + n) (n <= kRing x kStep) one pass after the other, with the same units:
// prepare every step, the smoother and the input meter over all frames, finish every step,
// then the output meter. Short blocks run this way (the pipeline's start and drain would cost
// more than its overlap gains), and so do the last frames of a long block, fewer than a step,
// after all its whole steps. A short last step works on a zero-padded copy.
template <class Ops, WriteBack kBack>
void runSequential(Chains<Ops>& c, const BlockJob& job, bool mono, int first, int n,
                   StepRecord* records) {
    const int steps = (n + kStep - 1) / kStep;
    const int lastFrames = n - (steps - 1) * kStep;
    float padded[2][kStep] = {};
    Frames frames[kRing];
    for (int s = 0; s < steps; ++s) {
        frames[s] = framesAt(job, first + s * kStep);
    }
    if (lastFrames < kStep) {
        const Frames& last = frames[steps - 1];
        for (int i = 0; i < lastFrames; ++i) {
            padded[0][i] = last.left[i];
            padded[1][i] = last.right[i];
        }
        // Mono reads and writes the left copy only; the copy is always written back (see the
        // end), and the copy to the outputs comes at the end.
        frames[steps - 1] = Frames{padded[0], mono ? padded[0] : padded[1], nullptr, nullptr};
    }
    for (int s = 0; s < steps; ++s) {
        bool infinite = false;
        for (int u = 0; u < kUnits; ++u) {
            infinite |= prepareUnit<Ops>(job, mono, frames[s], records[s], u);
        }
        records[s].nonFiniteTarget = infinite;
    }
    for (int s = 0; s < steps; ++s) {
        const int count = s == steps - 1 ? lastFrames : kStep;
        if (records[s].nonFiniteTarget) {
            inputChains<Ops, true>(c, records[s], 0, count);
        } else {
            inputChains<Ops, false>(c, records[s], 0, count);
        }
    }
    for (int s = 0; s < steps; ++s) {
        StepRecord& rec = records[s];
        const bool padding = s == steps - 1 && lastFrames < kStep;
        if (job.softClip) {
            for (int u = 0; u < kUnits; ++u) {
                applyUnit<Ops>(job, mono, frames[s], rec, u, rec.processed[u]);
            }
            if (!Ops::allBelow(rec.processed[0], 2 * kStep, kTanhIdentity)) {
                Ops::tanh(rec.processed[0], 2 * kStep);
            }
            for (int u = 0; u < kUnits; ++u) {
                if (padding) {
                    completeUnit<Ops, WriteBack::Both>(job, mono, frames[s], rec, u,
                                                       rec.processed[u]);
                } else {
                    completeUnit<Ops, kBack>(job, mono, frames[s], rec, u, rec.processed[u]);
                }
            }
        } else {
            for (int u = 0; u < kUnits; ++u) {
                if (padding) {
                    finishUnit<Ops, WriteBack::Both>(job, mono, frames[s], rec, u, false);
                } else {
                    finishUnit<Ops, kBack>(job, mono, frames[s], rec, u, false);
                }
            }
        }
    }
    if (job.outputPeak != nullptr) {
        for (int s = 0; s < steps; ++s) {
            outputChain<Ops>(c, records[s], 0, s == steps - 1 ? lastFrames : kStep);
        }
    }
    if (lastFrames < kStep) {
        const int at = first + (steps - 1) * kStep;
        if (job.writeBackLeft) {
            for (int i = 0; i < lastFrames; ++i) {
                job.left[at + i] = padded[0][i];
            }
        }
        if (!mono && job.writeBackRight) {
            for (int i = 0; i < lastFrames; ++i) {
                job.right[at + i] = padded[1][i];
            }
        }
        if (job.output != OutputMode::None) {
            const float* fromLeft = job.writeBackLeft ? job.left + at : padded[0];
            const float* fromRight = job.writeBackRight ? job.right + at : padded[mono ? 0 : 1];
            copyFrames(fromLeft, fromRight, job.outLeft + at, job.outRight + at, lastFrames,
                       job.output == OutputMode::Add);
        }
    }
    float last;
    Ops::roundToFloat(c.gain, &last);
    job.gain->store(last, std::memory_order_relaxed);
    publishMeter<Ops>(job.inputPeak, c.inputMeter);
    publishMeter<Ops>(job.outputPeak, c.outputMeter);
}

// With the engine off the samples pass unchanged: both meters run over the same candidates,
// then the output copy.
template <class Ops> void runMetersOnly(const BlockJob& job) {
    const bool mono = job.left == job.right;
    typename Ops::Sd in = Ops::sd(loadMeter<Ops>(job.inputPeak));
    typename Ops::Sd out = Ops::sd(loadMeter<Ops>(job.outputPeak));
    const bool add = job.output == OutputMode::Add;
    for (int first = 0; first < job.count; first += kUnit) {
        const int frames = job.count - first < kUnit ? job.count - first : kUnit;
        const float* l = job.left + first;
        const float* r = job.right + first;
        double level[kUnit];
        if (frames == kUnit) {
            Ops::levelsOf(l, r, mono, level);
        } else {
            float padded[2][kUnit] = {};
            for (int i = 0; i < frames; ++i) {
                padded[0][i] = l[i];
                padded[1][i] = r[i];
            }
            Ops::levelsOf(padded[0], padded[1], mono, level);
        }
        for (int i = 0; i < frames; ++i) {
            const typename Ops::Sd candidate = Ops::load(level + i);
            in = meterStep<Ops>(in, candidate);
            out = meterStep<Ops>(out, candidate);
        }
        if (job.output != OutputMode::None) {
            if (frames == kUnit) {
                Ops::copyOut(l, r, job.outLeft + first, job.outRight + first, add);
            } else {
                copyFrames(l, r, job.outLeft + first, job.outRight + first, frames, add);
            }
        }
        if ((first & 63) == 60 || first + frames == job.count) {
            publishMeter<Ops>(job.inputPeak, in);
            publishMeter<Ops>(job.outputPeak, out);
        }
    }
}

template <class Ops, WriteBack kBack> void runActive(const BlockJob& job) {
    const bool mono = job.left == job.right;
    const int steps = job.count / kStep; // whole steps; the rest runs after them

    Chains<Ops> c;
    c.gain = Ops::sd(static_cast<double>(job.gain->load(std::memory_order_relaxed)));
    c.inputMeter = Ops::sd(loadMeter<Ops>(job.inputPeak));
    c.outputMeter = Ops::sd(loadMeter<Ops>(job.outputPeak));
    c.attack = Ops::sd(job.k.attack);
    c.release = Ops::sd(job.k.release);
    const bool outputMeter = job.outputPeak != nullptr;

    // The step records, aligned to a cache line by hand: the vector loads and stores on them
    // then never straddle two lines, whatever alignment the platform gives the stack (on
    // Windows only 16 bytes are certain).
    struct Workspace {
        StepRecord ring[kRing];
    };
    unsigned char storage[sizeof(Workspace) + 64];
    Workspace& work = *new (storage + (64 - reinterpret_cast<std::uintptr_t>(storage) % 64) % 64)
                          Workspace; // placement: nothing is allocated
    StepRecord* ring = work.ring;
    if (job.count <= (job.softClip ? kSequentialFramesClipped : kSequentialFrames)) {
        runSequential<Ops, kBack>(c, job, mono, 0, job.count, ring);
        return;
    }
    {
        const Frames f = framesAt(job, 0);
        bool infinite = false;
        for (int u = 0; u < kUnits; ++u) {
            infinite |= prepareUnit<Ops>(job, mono, f, ring[0], u);
        }
        ring[0].nonFiniteTarget = infinite;
    }
    // Step s runs the chains over step s, prepares s + 1 and finishes s - 1 (with the soft
    // clipper: applies gain to s - 1 and completes s - 2); the output meter follows the last
    // completed step. The rounds after the last step drain the pipeline.
    const int meterLag = job.softClip ? 3 : 2;
    for (int s = 0; s < steps + meterLag; ++s) {
        StepRecord* current = s < steps ? &ring[s % kRing] : nullptr;
        StepRecord* next = s + 1 < steps ? &ring[(s + 1) % kRing] : nullptr;
        StepRecord* behind = s >= 1 && s - 1 < steps ? &ring[(s - 1) % kRing] : nullptr;
        StepRecord* clipped =
            job.softClip && s >= 2 && s - 2 < steps ? &ring[(s - 2) % kRing] : nullptr;
        const StepRecord* metered =
            outputMeter && s >= meterLag ? &ring[(s - meterLag) % kRing] : nullptr;
        const Frames nextFrames = next != nullptr ? framesAt(job, (s + 1) * kStep) : Frames{};
        const Frames behindFrames = behind != nullptr ? framesAt(job, (s - 1) * kStep) : Frames{};
        const Frames clippedFrames = clipped != nullptr ? framesAt(job, (s - 2) * kStep) : Frames{};
        if (current != nullptr && current->nonFiniteTarget) {
            pipelineStep<Ops, kBack, true, false>(c, job, mono, current, next, nextFrames, behind,
                                                  behindFrames, clipped, clippedFrames, metered);
        } else if (current != nullptr && next != nullptr && behind != nullptr &&
                   metered != nullptr && (clipped != nullptr || !job.softClip)) {
            pipelineStep<Ops, kBack, false, true>(c, job, mono, current, next, nextFrames, behind,
                                                  behindFrames, clipped, clippedFrames, metered);
        } else {
            pipelineStep<Ops, kBack, false, false>(c, job, mono, current, next, nextFrames, behind,
                                                   behindFrames, clipped, clippedFrames, metered);
        }
        if (current != nullptr) {
            job.gain->store(current->gain[kStep - 1], std::memory_order_relaxed);
            publishMeter<Ops>(job.inputPeak, c.inputMeter);
        }
        if (metered != nullptr) {
            publishMeter<Ops>(job.outputPeak, c.outputMeter);
        }
    }
    const int rest = job.count - steps * kStep;
    if (rest > 0) {
        runSequential<Ops, kBack>(c, job, mono, steps * kStep, rest, ring); // all steps done
    }
}

template <class Ops> void runBlock(const BlockJob& job) {
    if (job.count <= 0) {
        return;
    }
    if (!job.active) {
        runMetersOnly<Ops>(job);
        return;
    }
    if (job.writeBackLeft && job.writeBackRight) {
        runActive<Ops, WriteBack::Both>(job);
    } else if (!job.writeBackLeft && !job.writeBackRight) {
        runActive<Ops, WriteBack::None>(job);
    } else {
        runActive<Ops, WriteBack::AsTheJobSays>(job);
    }
}

} // namespace quorvel::engine_kernel
