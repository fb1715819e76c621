// The parallel member compressor. The calling thread reads, sums and
// scrambles the members block by block and writes the finished blocks in
// order; worker threads deflate the blocks. At most a few blocks per thread
// are in memory at once, whatever the size of a member.
#include "pack/stream/gzblocks.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
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

// A member's content: a file read in order, or bytes in memory.
struct Source {
    const SectionFile* file = nullptr;
    FILE* f = nullptr;
    size_t offset = 0;
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
    if (source->f) {
        n = fread(block->data(), 1, kBlockSize, source->f);
        if (n < kBlockSize && ferror(source->f))
            return false;
    } else {
        const std::vector<unsigned char>& bytes = source->file->bytes;
        n = std::min(kBlockSize, bytes.size() - source->offset);
        if (n > 0)
            memcpy(block->data(), bytes.data() + source->offset, n);
        source->offset += n;
    }
    block->resize(n);
    return true;
}

std::string Label(const SectionFile& file) {
    return file.source.empty() ? file.name : file.source;
}

// gzip header without name or time, system "unknown", and the extra-flags
// byte zlib itself would write for the level.
void WriteHeader(Sink* sink, int level) {
    unsigned char head[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 255};
    head[8] = level == 9 ? 2 : (level < 2 ? 4 : 0);
    SinkWrite(sink, head, sizeof head);
}

} // namespace

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

bool CompressMembers(const CompressWork& work, Sink* sink, std::vector<MemberOutput>* outputs, std::string* error) {
    const std::vector<SectionFile>& files = *work.files;
    unsigned threads = work.threads ? work.threads : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min(threads, 64u);
    const size_t maxInFlight = 2 * threads + 2;
    outputs->assign(files.size(), MemberOutput());

    Queue queue;
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(Worker, &queue, work.level);

    std::deque<std::unique_ptr<Job>> inFlight;
    std::vector<std::unique_ptr<Job>> spare;
    std::string failure;
    uint64_t done = 0, memberStart = 0;
    uint32_t crc = 0;

    auto waitFor = [&](Job* job) {
        std::unique_lock<std::mutex> hold(queue.lock);
        queue.finished.wait(hold, [&] { return job->done; });
    };
    // Writes the oldest block once it is deflated: the member's header
    // before its first block, the trailer after its last.
    auto writeOldest = [&]() {
        Job* job = inFlight.front().get();
        waitFor(job);
        if (job->failed && failure.empty())
            failure = "cannot compress " + Label(files[job->member]);
        if (failure.empty()) {
            MemberOutput& m = (*outputs)[job->member];
            if (job->first) {
                memberStart = sink->size;
                crc = 0;
                WriteHeader(sink, work.level);
            }
            SinkWrite(sink, job->out.data(), job->out.size());
            crc = static_cast<uint32_t>(crc32_combine(crc, job->crc, static_cast<z_off_t>(job->in.size())));
            if (job->last) {
                unsigned char trailer[8];
                WriteLe32(trailer, crc);
                WriteLe32(trailer + 4, m.plain);
                SinkWrite(sink, trailer, sizeof trailer);
                m.compressed = sink->size - memberStart;
            }
            if (sink->size > work.limit)
                failure = work.tooLarge;
            done += job->in.size();
            if (work.progress)
                work.progress(done);
        }
        spare.push_back(std::move(inFlight.front()));
        inFlight.pop_front();
    };
    auto newJob = [&]() {
        std::unique_ptr<Job> job;
        if (spare.empty()) {
            job.reset(new Job);
        } else {
            job = std::move(spare.back());
            spare.pop_back();
        }
        job->done = job->failed = false;
        return job;
    };
    auto submit = [&](std::unique_ptr<Job> job) {
        while (inFlight.size() >= maxInFlight && failure.empty())
            writeOldest();
        {
            std::lock_guard<std::mutex> hold(queue.lock);
            queue.todo.push_back(job.get());
        }
        queue.wake.notify_one();
        inFlight.push_back(std::move(job));
    };

    unsigned char key[kScrambleKeySize];
    ScrambleKey(kVendorRegistryPath, kInstallerName, key);
    for (size_t i = 0; i < files.size() && failure.empty(); ++i) {
        const SectionFile& file = files[i];
        MemberOutput& m = (*outputs)[i];
        Source source;
        source.file = &file;
        if (!file.source.empty() && !(source.f = OpenInput(file.source))) {
            failure = "cannot read " + file.source;
            break;
        }
        size_t position = 0;
        uint64_t plain = 0;
        // Reads the next block: summed, checked against the 4 GiB a member
        // holds, scrambled.
        auto read = [&](Job* job) {
            if (!ReadBlock(&source, &job->in)) {
                failure = "cannot read " + Label(file);
                return false;
            }
            plain += job->in.size();
            if (plain > UINT32_MAX) {
                failure = Label(file) + " has grown to 4 GiB or more; a file in a package must stay below 4 GiB";
                return false;
            }
            m.sum = ChecksumAdd(m.sum, job->in.data(), job->in.size());
            if (work.scrambled->at(i))
                ScrambleBlock(job->in.data(), job->in.size(), key, &position);
            return true;
        };
        std::unique_ptr<Job> current = newJob();
        if (!read(current.get()))
            break;
        for (bool first = true; failure.empty(); first = false) {
            std::unique_ptr<Job> next = newJob();
            if (!read(next.get()))
                break;
            // Blocks are full up to the end, so an empty read means the
            // current block is the member's last.
            bool last = next->in.empty();
            size_t tail = std::min<size_t>(current->in.size(), 32768);
            next->dictionary.assign(current->in.end() - static_cast<ptrdiff_t>(tail), current->in.end());
            current->member = i;
            current->first = first;
            current->last = last;
            m.plain = static_cast<uint32_t>(plain - next->in.size());
            submit(std::move(current));
            if (last) {
                spare.push_back(std::move(next));
                break;
            }
            current = std::move(next);
        }
    }
    while (!inFlight.empty())
        writeOldest();
    {
        std::lock_guard<std::mutex> hold(queue.lock);
        queue.stop = true;
    }
    queue.wake.notify_all();
    for (std::thread& t : pool)
        t.join();
    if (failure.empty() && sink->failed)
        failure = "cannot write the output (is the disk full?)";
    if (!failure.empty()) {
        *error = failure;
        return false;
    }
    return true;
}
