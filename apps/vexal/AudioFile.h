// Audio file input and output through libsndfile. Output goes to a temporary
// file beside the target and is renamed over it only when complete, so a
// failure leaves no partial file and loses no existing one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <sndfile.h>

#include "platform/FileReplacement.h"

namespace vexal::cli {

enum class SampleFormat { asInput, pcm16, pcm24, float32 };

struct AudioInfo {
    int32_t sampleRate = 0;
    int32_t channels = 0;
    int64_t frames = 0;  // as the header says; reading goes on to the end
    int32_t format = 0;  // libsndfile major | subformat
};

class InputFile {
public:
    // Throws ProcessingError naming the file and the problem.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const AudioInfo& info() const { return audio; }
    // Frames the header announces beyond the end of the data (a truncated
    // file); 0 when the data is whole.
    int64_t missingFrames() const { return missing; }
    // Frames the data holds beyond what the header states (read as well).
    int64_t unstatedFrames() const { return unstated; }
    // Reads up to `frames` interleaved frames; 0 at the end. Throws on a read error.
    int64_t read(double* interleaved, int64_t frames);

private:
    std::string path;
    int64_t readRest(double* interleaved, int64_t frames);

    SNDFILE* file = nullptr;
    AudioInfo audio;
    int64_t missing = 0;
    int64_t unstatedOffset = 0, unstated = 0;
    std::FILE* rest = nullptr;  // the unstated frames, opened when the stated ones are read
    int64_t restLeft = 0;
};

// libsndfile's format for the target's extension and the wanted sample format.
// Throws UsageError for a folder, a missing or unknown extension or an
// impossible combination. When the container cannot hold the input's sample
// format, the nearest it can is chosen and `note` (if given) says so.
int32_t outputFormatFor(const std::string& target, int32_t inputFormat, SampleFormat wanted,
                        std::string* note = nullptr);
// Word length of integer PCM formats (8, 16, 24, 32); 0 for floating point and codecs.
int32_t pcmBits(int32_t format);
std::string describeFormat(int32_t format);

// What happens to an existing target: replaced unless write-protected,
// kept (--no-clobber), or replaced even when write-protected (--force).
enum class Existing { replace, keep, force };

// The replacement rules for `existing`.
platform::ReplaceOptions replaceOptionsFor(Existing existing);
// A refusal of the file helper as vexal says it, with the option that
// changes it: "is write-protected; --force replaces it".
std::string refusalText(const std::string& problem);

class OutputFile {
public:
    // Creates the temporary file (platform/FileReplacement.h); throws
    // ProcessingError when the target's folder cannot be written, or the
    // target exists and is to be kept, is write-protected or is no regular
    // file. A target that is a symbolic link is written through to the file
    // it names; an existing file keeps its permissions and owner.
    OutputFile(const std::string& target, int32_t format, int32_t sampleRate, int32_t channels,
               Existing existing = Existing::replace);
    // Removes the temporary file unless commit() succeeded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes interleaved frames. `stored` receives what the file holds for
    // each sample (integer formats round to their grid) when the format
    // stores samples exactly; otherwise it is left untouched.
    void write(const double* interleaved, int64_t frames, double* stored);
    // True when the file holds exactly what `stored` reports (PCM and float).
    bool storesExactly() const { return exact; }
    // Completes the temporary file.
    void close();
    // Closes the temporary file and renames it over the target.
    void commit();
    const std::string& temporaryPath() const { return replacement.temporaryPath(); }

private:
    std::string target;
    platform::FileReplacement replacement;
    SNDFILE* file = nullptr;
    int32_t channels = 0;
    int32_t bits = 0;
    bool isFloat = false;
    bool exact = false;
    std::vector<int32_t> integers;
    std::vector<float> floats;
    std::vector<double> decoded;  // what the codes stand for, when the caller does not ask
};

// True when both paths name the same existing file (device and inode).
bool isSameFile(const std::string& a, const std::string& b);


}  // namespace vexal::cli
