#include "jpeg/JPEGCodec.h"

#include "graphics/Graphic.h"
#include "graphics/Stream.h"
#include "jpeg/JPEGImage.h"
#include "platform/Kernel.h"

#include <jerror.h>
#include <new>
#include <span>
#include <string>

namespace jpeg::codec {

namespace {

TickSource tickSource = nullptr;

// Progress events come at most this often.
constexpr uint32_t kProgressIntervalMs = 500;

CodecContext& ContextOf(j_common_ptr cinfo) {
    return *reinterpret_cast<ErrorRecord*>(cinfo->err)->context;
}

[[noreturn]] void LeaveLibrary(j_common_ptr cinfo) {
    std::longjmp(ContextOf(cinfo).jump, 1);
}

// Warnings and trace messages are dropped without being counted: damage that libjpeg only warns
// about does not stop a decoding.
void DropMessage(j_common_ptr, int) {}
void OutputNothing(j_common_ptr) {}
void FormatNothing(j_common_ptr, char*) {}

void ResetErrorManager(j_common_ptr cinfo) {
    cinfo->err->msg_code = 0;
    cinfo->err->num_warnings = 0;
}

// Fires the owner's OnProgress. An exception from a listener (EAbort ends the operation) is kept
// for the context, so that the caller can leave the library before it is raised again.
bool NotifyProgress(CodecContext& context, graphics::TGraphic& owner, int percent,
                    const platform::RECT& rect) noexcept {
    try {
        if (owner.OnProgress)
            owner.OnProgress(owner, graphics::psRunning, uint8_t(percent),
                             rect.bottom - rect.top >= 4, rect, std::string());
        return true;
    } catch (...) {
        context.pending = std::current_exception();
        return false;
    }
}

// The whole percentage over all passes. libjpeg may report a pass without a limit (or no passes
// at all), which must not turn into a division by zero.
int PercentDone(const jpeg_progress_mgr& progress) {
    if (progress.total_passes <= 0)
        return -1;
    const double pass =
        progress.pass_limit > 0 ? double(progress.pass_counter) / double(progress.pass_limit) : 0.0;
    const double percent =
        (pass + double(progress.completed_passes)) * 100.0 / double(progress.total_passes);
    if (!(percent >= 0.0))
        return 0;
    return percent >= 100.0 ? 100 : int(percent);
}

// ---- Source manager: the byte stream in blocks, with libjpeg's end-of-data recovery.

// Reads a stream in blocks, or (without a stream) bytes already in memory in place.
struct StreamSource {
    jpeg_source_mgr pub;
    graphics::TStream* stream;
    JOCTET* buffer;
    bool startOfFile;
};

StreamSource& SourceOf(j_decompress_ptr cinfo) {
    return *reinterpret_cast<StreamSource*>(cinfo->src);
}

// Bytes read into the buffer, or -1 when the stream raised (kept for the context).
int64_t ReadBlock(CodecContext& context, StreamSource& source) noexcept {
    try {
        return source.stream->Read(std::span<uint8_t>(source.buffer, kBlockSize));
    } catch (...) {
        context.pending = std::current_exception();
        return -1;
    }
}

void InitSource(j_decompress_ptr cinfo) {
    SourceOf(cinfo).startOfFile = true;
}

void InitMemorySource(j_decompress_ptr cinfo) {
    StreamSource& source = SourceOf(cinfo);
    source.startOfFile = source.pub.bytes_in_buffer == 0;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    StreamSource& source = SourceOf(cinfo);
    // Bytes in memory were all given at once: asked again, the data has ended.
    int64_t count =
        source.stream != nullptr ? ReadBlock(ContextOf(j_common_ptr(cinfo)), source) : 0;
    if (count < 0)
        LeaveLibrary(j_common_ptr(cinfo));
    if (count == 0) {
        if (source.startOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // Data that ends early ends at an inserted end-of-image marker; libjpeg completes the
        // picture from what it has.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source.buffer[0] = JOCTET(0xFF);
        source.buffer[1] = JOCTET(JPEG_EOI);
        count = 2;
    }
    source.pub.next_input_byte = source.buffer;
    source.pub.bytes_in_buffer = size_t(count);
    source.startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0)
        return;
    StreamSource& source = SourceOf(cinfo);
    size_t remaining = size_t(count);
    while (remaining > source.pub.bytes_in_buffer) {
        remaining -= source.pub.bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    source.pub.next_input_byte += remaining;
    source.pub.bytes_in_buffer -= remaining;
}

void TermSource(j_decompress_ptr) {}

// ---- Destination manager: the encoder's output appended to the byte stream in blocks.

struct StreamDestination {
    jpeg_destination_mgr pub;
    graphics::TStream* stream;
    JOCTET* buffer;
};

StreamDestination& DestinationOf(j_compress_ptr cinfo) {
    return *reinterpret_cast<StreamDestination*>(cinfo->dest);
}

// Bytes written, or -1 when the stream raised (kept for the context).
int64_t WriteBlock(CodecContext& context, StreamDestination& destination, size_t count) noexcept {
    try {
        return destination.stream->Write(std::span<const uint8_t>(destination.buffer, count));
    } catch (...) {
        context.pending = std::current_exception();
        return -1;
    }
}

void WriteOrFail(j_compress_ptr cinfo, size_t count) {
    const int64_t written = WriteBlock(ContextOf(j_common_ptr(cinfo)), DestinationOf(cinfo), count);
    if (written < 0)
        LeaveLibrary(j_common_ptr(cinfo));
    if (size_t(written) != count)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

void InitDestination(j_compress_ptr cinfo) {
    StreamDestination& destination = DestinationOf(cinfo);
    destination.buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(j_common_ptr(cinfo), JPOOL_IMAGE, kBlockSize));
    destination.pub.next_output_byte = destination.buffer;
    destination.pub.free_in_buffer = kBlockSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    WriteOrFail(cinfo, kBlockSize);
    StreamDestination& destination = DestinationOf(cinfo);
    destination.pub.next_output_byte = destination.buffer;
    destination.pub.free_in_buffer = kBlockSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    const size_t count = kBlockSize - DestinationOf(cinfo).pub.free_in_buffer;
    if (count > 0)
        WriteOrFail(cinfo, count);
}

template <class Record> Record* AllocatePermanent(j_common_ptr cinfo) {
    void* memory = (*cinfo->mem->alloc_small)(cinfo, JPOOL_PERMANENT, sizeof(Record));
    return new (memory) Record{};
}

} // namespace

void SetTickSourceForTesting(TickSource source) {
    tickSource = source;
}

uint32_t CurrentTick() {
    return tickSource != nullptr ? tickSource() : platform::GetTickCount();
}

CodecContext::CodecContext() {
    error.pub.error_exit = RaiseJpegError;
    error.pub.emit_message = DropMessage;
    error.pub.output_message = OutputNothing;
    error.pub.format_message = FormatNothing;
    error.pub.reset_error_mgr = ResetErrorManager;
    error.context = this;
    progress.pub.progress_monitor = LibraryProgress;
}

void CodecContext::RaiseFailure() {
    if (pending) {
        std::exception_ptr failure = pending;
        pending = nullptr;
        std::rethrow_exception(failure);
    }
    if (error.pub.msg_code == JERR_OUT_OF_MEMORY)
        throw std::bad_alloc();
    throw EJPEG(error.pub.msg_code);
}

void RaiseJpegError(j_common_ptr cinfo) {
    LeaveLibrary(cinfo);
}

void LibraryProgress(j_common_ptr cinfo) {
    auto* record = reinterpret_cast<ProgressRecord*>(cinfo->progress);
    if (record == nullptr || record->owner == nullptr)
        return;
    const uint32_t now = CurrentTick();
    if (now - record->lastTime < kProgressIntervalMs)
        return;
    const uint32_t previous = record->lastTime;
    record->lastTime = now;
    // The first call only starts the clock.
    if (previous == 0)
        return;

    // The rows decoded since the last event; a new output pass starts again at the top.
    platform::RECT rect;
    j_decompress_ptr decompressor = nullptr;
    if (cinfo->is_decompressor) {
        decompressor = reinterpret_cast<j_decompress_ptr>(cinfo);
        rect.top = int32_t(record->lastScanline);
        rect.right = int32_t(decompressor->output_width);
        rect.bottom = int32_t(decompressor->output_scanline);
        if (rect.bottom < rect.top)
            rect.bottom = int32_t(decompressor->output_height);
    }
    const int percent = PercentDone(record->pub);
    if (percent < 0 || percent == record->lastPercent)
        return;
    record->lastPercent = percent;
    if (decompressor != nullptr)
        record->lastScanline = decompressor->output_scanline;
    if (!NotifyProgress(ContextOf(cinfo), *record->owner, percent, rect))
        LeaveLibrary(cinfo);
}

// ---- Decompressor and Compressor.

Decompressor::Decompressor(graphics::TGraphic* progressOwner) : owner_(progressOwner) {
    cinfo.err = &error.pub;
}

Decompressor::~Decompressor() {
    if (created_)
        jpeg_destroy_decompress(&cinfo);
}

void Decompressor::Create() {
    // Marked first: a creation that fails half way still leaves memory to release.
    created_ = true;
    Run(*this, [this] { jpeg_create_decompress(&cinfo); });
    progress.owner = owner_;
    cinfo.progress = owner_ != nullptr ? &progress.pub : nullptr;
}

void Decompressor::PrepareSource() {
    // Made once per decompressor, in the pool that lives as long as the libjpeg object.
    if (cinfo.src == nullptr) {
        StreamSource* made = AllocatePermanent<StreamSource>(j_common_ptr(&cinfo));
        made->buffer = static_cast<JOCTET*>(
            (*cinfo.mem->alloc_small)(j_common_ptr(&cinfo), JPOOL_PERMANENT, kBlockSize));
        cinfo.src = &made->pub;
    }
    StreamSource& source = SourceOf(&cinfo);
    source.pub.fill_input_buffer = FillInputBuffer;
    source.pub.skip_input_data = SkipInputData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = TermSource;
}

void Decompressor::AttachSource(graphics::TStream& stream) {
    PrepareSource();
    StreamSource& source = SourceOf(&cinfo);
    source.stream = &stream;
    source.pub.init_source = InitSource;
    source.pub.bytes_in_buffer = 0;
    source.pub.next_input_byte = nullptr;
}

void Decompressor::AttachMemory(std::span<const uint8_t> bytes) {
    PrepareSource();
    StreamSource& source = SourceOf(&cinfo);
    source.stream = nullptr;
    source.pub.init_source = InitMemorySource;
    source.pub.bytes_in_buffer = bytes.size();
    source.pub.next_input_byte = bytes.data();
}

Compressor::Compressor(graphics::TGraphic* progressOwner) : owner_(progressOwner) {
    cinfo.err = &error.pub;
}

Compressor::~Compressor() {
    if (created_)
        jpeg_destroy_compress(&cinfo);
}

void Compressor::Create() {
    created_ = true;
    Run(*this, [this] { jpeg_create_compress(&cinfo); });
    progress.owner = owner_;
    cinfo.progress = owner_ != nullptr ? &progress.pub : nullptr;
}

void Compressor::AttachDestination(graphics::TStream& stream) {
    if (cinfo.dest == nullptr)
        cinfo.dest = &AllocatePermanent<StreamDestination>(j_common_ptr(&cinfo))->pub;
    StreamDestination& destination = DestinationOf(&cinfo);
    destination.stream = &stream;
    destination.pub.init_destination = InitDestination;
    destination.pub.empty_output_buffer = EmptyOutputBuffer;
    destination.pub.term_destination = TermDestination;
}

} // namespace jpeg::codec
