// The parallel member compressor. The calling thread reads, sums and
// scrambles the members block by block and writes the finished blocks in
// order; worker threads deflate the blocks. At most a few blocks per thread
// are in memory at once, whatever the size of a member.
#include "pack/stream/gzblocks.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <zlib.h>

#include "pack/platform.h"
#include "base/format.h"

namespace {

// One block of one member: its plain input (scrambled where the section
// is), the 32 KiB before it and, once a worker is done, its deflate output.
struct Job {
    size_t member = 0;
    bool first = false, last = false;
    std::vector<unsigned char> in, dictionary, out;
    uint32_t crc = 0;
    bool done = false, failed = false;
};

struct Queue {
    std::mutex lock;
    std::condition_variable wake;      // a job is waiting, or stop
    std::condition_variable finished;  // a job is done
    std::deque<Job*> todo;
    bool stop = false;
};

// Deflates one block as raw deflate data: primed with the previous 32 KiB,
// ended on a byte boundary (an empty stored block) or, for the last block,
// with the final block. Returns false when zlib fails.
bool DeflateBlock(z_stream* z, Job* job) {
    if (deflateReset(z) != Z_OK)
        return false;
    if (!job->first && !job->dictionary.empty() &&
        deflateSetDictionary(z, job->dictionary.data(), static_cast<uInt>(job->dictionary.size())) != Z_OK)
        return false;
    job->crc = static_cast<uint32_t>(crc32(0, job->in.data(), static_cast<uInt>(job->in.size())));
    job->out.resize(deflateBound(z, static_cast<uLong>(job->in.size())) + 64);
    z->next_in = job->in.data();
    z->avail_in = static_cast<uInt>(job->in.size());
    z->next_out = job->out.data();
    z->avail_out = static_cast<uInt>(job->out.size());
    int status = deflate(z, job->last ? Z_FINISH : Z_SYNC_FLUSH);
    bool ok = job->last ? status == Z_STREAM_END : status == Z_OK && z->avail_in == 0 && z->avail_out > 0;
    job->out.resize(job->out.size() - z->avail_out);
    return ok;
}

void Worker(Queue* queue, int level) {
    z_stream z;
    memset(&z, 0, sizeof z);
    bool ready = deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    for (;;) {
        Job* job;
        {
            std::unique_lock<std::mutex> hold(queue->lock);
            queue->wake.wait(hold, [&] { return queue->stop || !queue->todo.empty(); });
            if (queue->todo.empty())
                break;
            job = queue->todo.front();
            queue->todo.pop_front();
        }
        bool ok = ready && DeflateBlock(&z, job);
        {
            std::lock_guard<std::mutex> hold(queue->lock);
            job->failed = !ok;
            job->done = true;
        }
        queue->finished.notify_all();
    }
    if (ready)
        deflateEnd(&z);
}

// A member's content: a held file or a named one read in order, or bytes in
// memory.
struct Source {
    const SectionFile* file = nullptr;
    FILE* f = nullptr;
    uint64_t offset = 0;
    ~Source() {
        if (f)
            fclose(f);
    }
};

// Fills block with up to kBlockSize bytes; short only at the end. False on a
// read error.
bool ReadBlock(Source* source, std::vector<unsigned char>* block) {
    block->resize(kBlockSize);
    size_t n;
    if (source->file->held) {
        if (!ReadAt(source->file->held, source->offset, block->data(), kBlockSize, &n))
            return false;
        source->offset += n;
    } else if (source->f) {
        n = fread(block->data(), 1, kBlockSize, source->f);
        if (n < kBlockSize && ferror(source->f))
            return false;
    } else {
        const std::vector<unsigned char>& bytes = source->file->bytes;
        n = std::min<size_t>(kBlockSize, bytes.size() - static_cast<size_t>(source->offset));
        if (n > 0)
            memcpy(block->data(), bytes.data() + source->offset, n);
        source->offset += n;
    }
    block->resize(n);
    return true;
}

std::string Label(const SectionFile& file) { return file.source.empty() ? file.name : file.source; }

// gzip header without name or time, system "unknown", and the extra-flags
// byte zlib itself would write for the level.
void WriteHeader(Sink* sink, int level) {
    unsigned char head[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 255};
    head[8] = level == 9 ? 2 : (level < 2 ? 4 : 0);
    SinkWrite(sink, head, sizeof head);
}

}  // namespace

void SinkWrite(Sink* sink, const void* data, size_t size) {
    if (size == 0)
        return;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    if (sink->memory)
        sink->memory->insert(sink->memory->end(), p, p + size);
    else if (sink->failed || fwrite(p, 1, size, sink->file) != size)
        sink->failed = true;
    sink->size += size;
}

void SinkPatch(Sink* sink, uint64_t at, const void* data, size_t size) {
    if (sink->memory) {
        memcpy(sink->memory->data() + at, data, size);
        return;
    }
    if (sink->failed || fflush(sink->file) != 0 || !SeekTo(sink->file, at) ||
        fwrite(data, 1, size, sink->file) != size || fflush(sink->file) != 0 || !SeekTo(sink->file, sink->size))
        sink->failed = true;
}

namespace {

// One member as it is read: its source, its key position and the plain
// bytes read so far.
struct MemberReader {
    size_t member = 0;
    Source source;
    size_t position = 0;
    uint64_t plain = 0;
};

// One call of CompressMembers: the worker threads, the blocks handed to them
// oldest first, and the member being written. The calling thread reads and
// writes; blocks are written in the order they were read.
class BlockPipeline {
public:
    BlockPipeline(const CompressWork& work, Sink* sink, std::vector<MemberOutput>* outputs);
    ~BlockPipeline() { StopWorkers(); }

    // Reads member i block by block and hands each block to the workers,
    // writing older blocks as room is needed.
    void CompressMember(size_t i);
    // Writes the blocks still in flight and stops the workers. False with
    // the first failure in *error.
    bool Finish(std::string* error);
    bool Failed() const { return !failure_.empty(); }

private:
    bool ReadNext(MemberReader* reader, Job* job);
    std::unique_ptr<Job> NewJob();
    void Submit(std::unique_ptr<Job> job);
    void WriteOldest();
    void WriteBlock(const Job& job);
    void StopWorkers();

    const CompressWork& work_;
    const std::vector<SectionFile>& files_;
    Sink* sink_;
    std::vector<MemberOutput>* outputs_;
    unsigned char key_[kScrambleKeySize];
    size_t maxInFlight_ = 0;
    Queue queue_;
    std::vector<std::thread> pool_;
    std::deque<std::unique_ptr<Job>> inFlight_;
    std::vector<std::unique_ptr<Job>> spare_;
    std::string failure_;
    uint64_t done_ = 0, memberStart_ = 0;
    uint32_t crc_ = 0;
};

BlockPipeline::BlockPipeline(const CompressWork& work, Sink* sink, std::vector<MemberOutput>* outputs)
    : work_(work), files_(*work.files), sink_(sink), outputs_(outputs) {
    unsigned threads = work.threads ? work.threads : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min(threads, 64u);
    maxInFlight_ = 2 * threads + 2;
    for (unsigned t = 0; t < threads; ++t)
        pool_.emplace_back(Worker, &queue_, work.level);
    ScrambleKey(kVendorRegistryPath, kInstallerName, key_);
}

void BlockPipeline::CompressMember(size_t i) {
    const SectionFile& file = files_[i];
    MemberReader reader;
    reader.member = i;
    reader.source.file = &file;
    if (!file.held && !file.source.empty() && !(reader.source.f = OpenInput(file.source))) {
        failure_ = "cannot read " + file.source;
        return;
    }
    std::unique_ptr<Job> current = NewJob();
    if (!ReadNext(&reader, current.get()))
        return;
    for (bool first = true; failure_.empty(); first = false) {
        std::unique_ptr<Job> next = NewJob();
        if (!ReadNext(&reader, next.get()))
            return;
        // Blocks are full up to the end, so an empty read means the
        // current block is the member's last.
        bool last = next->in.empty();
        size_t tail = std::min<size_t>(current->in.size(), 32768);
        next->dictionary.assign(current->in.end() - static_cast<ptrdiff_t>(tail), current->in.end());
        current->member = i;
        current->first = first;
        current->last = last;
        (*outputs_)[i].plain = static_cast<uint32_t>(reader.plain - next->in.size());
        Submit(std::move(current));
        if (last) {
            spare_.push_back(std::move(next));
            return;
        }
        current = std::move(next);
    }
}

// Reads the next block of a member: summed, checked against the 4 GiB a
// member holds, scrambled where the section is.
bool BlockPipeline::ReadNext(MemberReader* reader, Job* job) {
    const SectionFile& file = files_[reader->member];
    if (!ReadBlock(&reader->source, &job->in)) {
        failure_ = "cannot read " + Label(file);
        return false;
    }
    reader->plain += job->in.size();
    if (reader->plain > UINT32_MAX) {
        failure_ = Label(file) + " has grown to 4 GiB or more; a file in a package must stay below 4 GiB";
        return false;
    }
    MemberOutput& m = (*outputs_)[reader->member];
    m.sum = ChecksumAdd(m.sum, job->in.data(), job->in.size());
    if (work_.scrambled->at(reader->member))
        ScrambleBlock(job->in.data(), job->in.size(), key_, &reader->position);
    return true;
}

std::unique_ptr<Job> BlockPipeline::NewJob() {
    std::unique_ptr<Job> job;
    if (spare_.empty()) {
        job.reset(new Job);
    } else {
        job = std::move(spare_.back());
        spare_.pop_back();
    }
    job->done = job->failed = false;
    return job;
}

void BlockPipeline::Submit(std::unique_ptr<Job> job) {
    while (inFlight_.size() >= maxInFlight_ && failure_.empty())
        WriteOldest();
    {
        std::lock_guard<std::mutex> hold(queue_.lock);
        queue_.todo.push_back(job.get());
    }
    queue_.wake.notify_one();
    inFlight_.push_back(std::move(job));
}

// Waits for the oldest block and writes it unless something has failed.
void BlockPipeline::WriteOldest() {
    Job* job = inFlight_.front().get();
    {
        std::unique_lock<std::mutex> hold(queue_.lock);
        queue_.finished.wait(hold, [&] { return job->done; });
    }
    if (job->failed && failure_.empty())
        failure_ = "cannot compress " + Label(files_[job->member]);
    if (failure_.empty())
        WriteBlock(*job);
    spare_.push_back(std::move(inFlight_.front()));
    inFlight_.pop_front();
}

// Writes a deflated block: the member's header before its first block, the
// trailer after its last.
void BlockPipeline::WriteBlock(const Job& job) {
    MemberOutput& m = (*outputs_)[job.member];
    if (job.first) {
        memberStart_ = sink_->size;
        crc_ = 0;
        WriteHeader(sink_, work_.level);
    }
    SinkWrite(sink_, job.out.data(), job.out.size());
    crc_ = static_cast<uint32_t>(crc32_combine(crc_, job.crc, static_cast<z_off_t>(job.in.size())));
    if (job.last) {
        unsigned char trailer[8];
        WriteLe32(trailer, crc_);
        WriteLe32(trailer + 4, m.plain);
        SinkWrite(sink_, trailer, sizeof trailer);
        m.compressed = sink_->size - memberStart_;
    }
    if (sink_->size > work_.limit)
        failure_ = work_.tooLarge;
    done_ += job.in.size();
    if (work_.progress)
        work_.progress(done_);
}

bool BlockPipeline::Finish(std::string* error) {
    while (!inFlight_.empty())
        WriteOldest();
    StopWorkers();
    if (failure_.empty() && sink_->failed)
        failure_ = "cannot write the output (is the disk full?)";
    if (!failure_.empty()) {
        *error = failure_;
        return false;
    }
    return true;
}

void BlockPipeline::StopWorkers() {
    {
        std::lock_guard<std::mutex> hold(queue_.lock);
        queue_.stop = true;
    }
    queue_.wake.notify_all();
    for (std::thread& t : pool_)
        t.join();
    pool_.clear();
}

}  // namespace

bool CompressMembers(const CompressWork& work, Sink* sink, std::vector<MemberOutput>* outputs, std::string* error) {
    outputs->assign(work.files->size(), MemberOutput());
    BlockPipeline pipeline(work, sink, outputs);
    for (size_t i = 0; i < work.files->size() && !pipeline.Failed(); ++i)
        pipeline.CompressMember(i);
    return pipeline.Finish(error);
}
