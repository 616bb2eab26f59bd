// The glue between a picture and libjpeg: the codec context in which one decoding, encoding or
// header check runs, with our error manager, progress monitor, and the source and destination
// managers over a byte stream.
//
// How failures leave the library: libjpeg's error_exit must not return, and C++ exceptions must
// never unwind through the library's C frames. Every library call therefore runs inside Run(),
// which sets a jump point; error_exit (RaiseJpegError) and our own callbacks, after catching any
// exception they met, longjmp back to it. Only then, in our own frame, is the failure raised as
// a C++ exception. The frames a jump crosses hold nothing with a destructor, and the libjpeg
// object is destroyed by its owning context, which exists before the first jump point.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <exception>
#include <jpeglib.h>
#include <span>

namespace graphics {
class TGraphic;
class TStream;
} // namespace graphics

namespace jpeg::codec {

// The size of the blocks exchanged with the byte stream.
constexpr size_t kBlockSize = 4096;

// Milliseconds for the progress throttle: the platform's tick count unless a test installed a
// fake clock (null restores the platform's).
using TickSource = uint32_t (*)();
void SetTickSourceForTesting(TickSource source);
uint32_t CurrentTick();

struct CodecContext;

// libjpeg's error record first, so that the library's err pointer leads back to the context.
struct ErrorRecord {
    jpeg_error_mgr pub;
    CodecContext* context;
};

// libjpeg's progress record first, then what the throttle remembers between calls.
struct ProgressRecord {
    jpeg_progress_mgr pub;
    graphics::TGraphic* owner;
    int lastPercent;
    uint32_t lastTime;
    JDIMENSION lastScanline;
};

struct CodecContext {
    CodecContext();
    CodecContext(const CodecContext&) = delete;
    CodecContext& operator=(const CodecContext&) = delete;

    // After a jump: rethrows what a callback caught, or raises the library's fatal error
    // (std::bad_alloc for libjpeg's out-of-memory, EJPEG otherwise).
    [[noreturn]] void RaiseFailure();

    ErrorRecord error{};
    ProgressRecord progress{};
    std::jmp_buf jump{};
    std::exception_ptr pending;
};

// libjpeg's error_exit: leaves the library through the context's jump point.
[[noreturn]] void RaiseJpegError(j_common_ptr cinfo);
// libjpeg's progress_monitor: at most one psRunning event per 500 ms, and only when the whole
// percentage changed.
void LibraryProgress(j_common_ptr cinfo);

// Calls call (which must only call into libjpeg and hold nothing with a destructor) so that a
// jump from the library lands here. Returns false when one did.
template <class Call> [[nodiscard]] bool CallWithJumpPoint(CodecContext& context, Call& call) {
    if (setjmp(context.jump) != 0)
        return false;
    call();
    return true;
}

// Calls into libjpeg; a failure inside becomes a C++ exception here, outside the library.
template <class Call> void Run(CodecContext& context, Call&& call) {
    if (!CallWithJumpPoint(context, call))
        context.RaiseFailure();
}

// One decoding or header check: the context and the libjpeg decompressor it owns. Create()
// makes the libjpeg object; it is destroyed with this context on every path.
class Decompressor : public CodecContext {
  public:
    // progressOwner receives the progress events; none for the header check.
    explicit Decompressor(graphics::TGraphic* progressOwner = nullptr);
    ~Decompressor();

    void Create();
    // Reads stream from its current position (inside Run: it allocates from the library).
    void AttachSource(graphics::TStream& stream);
    // Reads bytes in place, as the stream would give them (inside Run); they must outlive the
    // decoding.
    void AttachMemory(std::span<const uint8_t> bytes);

    jpeg_decompress_struct cinfo{};

  private:
    // The source record with its callbacks; the caller sets where the bytes come from.
    void PrepareSource();

    graphics::TGraphic* owner_;
    bool created_ = false;
};

// One encoding: the context and the libjpeg compressor it owns.
class Compressor : public CodecContext {
  public:
    explicit Compressor(graphics::TGraphic* progressOwner);
    ~Compressor();

    void Create();
    // Appends the output to stream (inside Run).
    void AttachDestination(graphics::TStream& stream);

    jpeg_compress_struct cinfo{};

  private:
    graphics::TGraphic* owner_;
    bool created_ = false;
};

} // namespace jpeg::codec
