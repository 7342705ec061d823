#include "AudioFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cctype>
#include <tuple>
#include <utility>

#include "LowerCase.h"
#include "UsageError.h"
#include "engine/WideLoops.h"

namespace vexal::cli {

namespace {

std::string extensionOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return lowerCase(path.substr(dot + 1));
}

struct Container {
    const char* extension;
    int32_t major;
    int32_t codec;  // the only subformat of a lossy container, else 0
};

const Container kContainers[] = {
    {"wav", SF_FORMAT_WAV, 0},   {"wave", SF_FORMAT_WAV, 0},  {"aif", SF_FORMAT_AIFF, 0},
    {"aiff", SF_FORMAT_AIFF, 0}, {"aifc", SF_FORMAT_AIFF, 0}, {"flac", SF_FORMAT_FLAC, 0},
    {"caf", SF_FORMAT_CAF, 0},   {"au", SF_FORMAT_AU, 0},     {"snd", SF_FORMAT_AU, 0},
    {"w64", SF_FORMAT_W64, 0},   {"rf64", SF_FORMAT_RF64, 0}, {"ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
    {"oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS}, {"opus", SF_FORMAT_OGG, SF_FORMAT_OPUS},
    {"mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III},
};

bool formatIsValid(int32_t format, int32_t sampleRate, int32_t channels) {
    SF_INFO info{};
    info.format = format;
    info.samplerate = sampleRate;
    info.channels = channels;
    return sf_format_check(&info) != 0;
}

// Rounds to the word length here: libsndfile would truncate the lower bits
// of a 32-bit integer, and scales doubles by 2^(n−1) − 1. NaN is written as
// 0, values beyond full scale as its ends. Built per instruction set
// (runWide) and written without branches, so that the loop is vectorized;
// `stored` gets the values the codes stand for.
void toPcmCodes(const double* __restrict samples, int64_t count, int bits, int32_t* __restrict codes,
                double* __restrict stored) {
    const double scale = std::ldexp(1.0, bits - 1);
    const double inverse = 1.0 / scale;  // exact: a power of two
    const double top = scale - 1.0;
    const int shift = 32 - bits;
    for (int64_t i = 0; i < count; ++i) {
        double q = std::nearbyint(samples[i] * scale);
        q = q == q ? q : 0.0;
        q = q >= -scale ? q : -scale;
        q = q > top ? top : q;
        // Within ±2^31: the conversion to 32 bits is exact.
        codes[i] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int32_t>(q)) << shift);
        stored[i] = q * inverse;
    }
}

// libsndfile reads a truncated file to the end of its data and notes in
// its log the data chunk's announced size against what is there: "data :
// 176400 (should be 88200)" (WAV, W64, RF64), "SSND : ..." (AIFF). The
// difference in whole frames.
int64_t announcedBeyondData(SNDFILE* file, int64_t frames) {
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log - 1);
    for (const char* line = log; *line; line = std::strchr(line, '\n') ? std::strchr(line, '\n') + 1 : "") {
        long long announced = 0, present = 0;
        char chunk[8] = {};
        if (std::sscanf(line, "%7s : %lld (should be %lld)", chunk, &announced, &present) != 3) continue;
        if (std::strcmp(chunk, "data") != 0 && std::strcmp(chunk, "SSND") != 0) continue;
        // A streaming writer leaves the size unset (all ones): the data goes
        // to the end of the file, which libsndfile reads.
        if (announced >= 0xFFFFFFFFLL - 1) return 0;
        if (announced <= present || present <= 0 || frames <= 0) return 0;
        const long long bytesPerFrame = present / frames;
        return bytesPerFrame > 0 ? (announced - present) / bytesPerFrame : 0;
    }
    return 0;
}

// libsndfile's error as the other reasons read: "System error : No space
// left on device." becomes "no space left on device".
std::string sndfileReason(SNDFILE* file) {
    std::string text = sf_strerror(file);
    const std::string system = "System error : ";
    if (!text.starts_with(system)) return text;
    text.erase(0, system.size());
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

// Bytes per sample of the encodings whose data is read beyond a header; 0
// for the others.
int sampleWidth(int32_t format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_U8: return 1;
        case SF_FORMAT_PCM_16: return 2;
        case SF_FORMAT_PCM_24: return 3;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT: return 4;
        case SF_FORMAT_DOUBLE: return 8;
        default: return 0;
    }
}

// A WAV header that states less data than the file holds: libsndfile
// reads what the header states and then finds no chunk where the data
// goes on ("*** Unknown chunk marker (62D062D) at position 88244"). Where
// that is not a chunk name of four letters, the rest of the file is more
// of the data. Returns its byte position and frame count.
std::pair<int64_t, int64_t> dataBeyondHeader(SNDFILE* file, const SF_INFO& info) {
    if ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV || info.frames <= 0 || !sampleWidth(info.format))
        return {0, 0};
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log - 1);
    long long length = -1, stated = -1, position = -1;
    unsigned marker = 0;
    for (const char* line = log; *line; line = std::strchr(line, '\n') ? std::strchr(line, '\n') + 1 : "") {
        long long value = 0;
        if (std::sscanf(line, "Length : %lld", &value) == 1) length = value;
        if (std::sscanf(line, "data : %lld", &value) == 1 && !std::strstr(line, "should be")) stated = value;
        if (stated >= 0 && position < 0 &&
            std::sscanf(line, "*** Unknown chunk marker (%x) at position %lld", &marker, &position) != 2)
            position = -1;
    }
    if (length < 0 || stated <= 0 || position <= 0 || position >= length) return {0, 0};
    bool letters = true;
    for (int b = 0; b < 4; ++b) letters = letters && std::isprint(static_cast<int>((marker >> (8 * b)) & 0xFF));
    const long long bytesPerFrame = stated / info.frames;
    if (letters || bytesPerFrame <= 0 || stated % info.frames != 0) return {0, 0};
    return {position, (length - position) / bytesPerFrame};
}

bool isFolder(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

// --- input ------------------------------------------------------------------------

InputFile::InputFile(const std::string& path) : path(path) {
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) throw ProcessingError(path + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw ProcessingError(path + ": is a folder, not an audio file");
    SF_INFO info{};
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) throw ProcessingError(path + ": cannot read audio: " + sf_strerror(nullptr));
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.frames = info.frames;
    audio.format = info.format;
    if (info.channels < 1 || info.channels > 2) {
        sf_close(file);
        file = nullptr;
        throw ProcessingError(path + ": " + std::to_string(info.channels) +
                              " channels; vexal processes mono and stereo files only");
    }
    if (info.samplerate <= 0) {
        sf_close(file);
        file = nullptr;
        throw ProcessingError(path + ": no valid sample rate");
    }
    missing = announcedBeyondData(file, info.frames);
    std::tie(unstatedOffset, unstated) = dataBeyondHeader(file, info);
    restLeft = unstated;
}

InputFile::~InputFile() {
    if (file) sf_close(file);
    if (rest) std::fclose(rest);
}

int64_t InputFile::read(double* interleaved, int64_t frames) {
    sf_count_t n = sf_readf_double(file, interleaved, frames);
    if (n < frames && sf_error(file) != SF_ERR_NO_ERROR)
        throw ProcessingError(path + ": read error: " + sf_strerror(file));
    if (n < frames && restLeft > 0) n += readRest(interleaved + n * audio.channels, frames - n);
    return n;
}

// The data beyond what the header states, decoded here from where the
// stated data ends (libsndfile opens headerless data only from a file's
// start): little-endian integer PCM or floating point, as in WAV.
int64_t InputFile::readRest(double* interleaved, int64_t frames) {
    if (!rest) {
        rest = std::fopen(path.c_str(), "rb");
        if (!rest || std::fseek(rest, static_cast<long>(unstatedOffset), SEEK_SET) != 0)
            throw ProcessingError(path + ": read error: " + std::strerror(errno));
    }
    const int width = sampleWidth(audio.format);
    const int64_t count = std::min(frames, restLeft) * audio.channels;
    std::vector<unsigned char> bytes(static_cast<size_t>(count * width));
    const size_t got = std::fread(bytes.data(), static_cast<size_t>(width * audio.channels),
                                  static_cast<size_t>(count / audio.channels), rest);
    const int32_t sub = audio.format & SF_FORMAT_SUBMASK;
    for (size_t i = 0; i < got * static_cast<size_t>(audio.channels); ++i) {
        const unsigned char* b = bytes.data() + i * static_cast<size_t>(width);
        uint32_t word = 0;
        for (int k = 0; k < width; ++k) word |= static_cast<uint32_t>(b[k]) << (8 * k);
        double v = 0.0;
        if (sub == SF_FORMAT_PCM_U8) v = (static_cast<double>(word) - 128.0) / 128.0;
        else if (sub == SF_FORMAT_FLOAT) { float f; std::memcpy(&f, &word, 4); v = f; }
        else if (sub == SF_FORMAT_DOUBLE) { double d; std::memcpy(&d, b, 8); v = d; }
        else v = static_cast<int32_t>(word << (32 - 8 * width)) / 2147483648.0;  // sign from the top byte
        interleaved[i] = v;
    }
    restLeft -= static_cast<int64_t>(got);
    return static_cast<int64_t>(got);
}

// --- output format ------------------------------------------------------------------

int32_t pcmBits(int32_t format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: return 8;
        case SF_FORMAT_PCM_16: return 16;
        case SF_FORMAT_PCM_24: return 24;
        case SF_FORMAT_PCM_32: return 32;
        default: return 0;
    }
}

std::string describeFormat(int32_t format) {
    const int32_t bits = pcmBits(format);
    if (bits) return std::to_string(bits) + "-bit PCM";
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_FLOAT: return "32-bit float";
        case SF_FORMAT_DOUBLE: return "64-bit float";
        case SF_FORMAT_VORBIS: return "Vorbis";
        case SF_FORMAT_OPUS: return "Opus";
        case SF_FORMAT_MPEG_LAYER_III: return "MP3";
        default: return "encoded";
    }
}

int32_t outputFormatFor(const std::string& target, int32_t inputFormat, SampleFormat wanted,
                        std::string* note) {
    if ((!target.empty() && target.back() == '/') || isFolder(target))
        throw UsageError(target + ": is a folder; name the output file (-o " + target +
                         (target.back() == '/' ? "" : "/") + "NAME.wav) or use --out-dir " + target);
    const std::string extension = extensionOf(target);
    if (extension.empty())
        throw UsageError(target + ": has no extension to choose the output format by; add one of .wav, "
                                  ".aiff, .flac, .caf, .au, .w64, .rf64, .ogg, .opus, .mp3");
    const Container* container = nullptr;
    for (const Container& c : kContainers)
        if (extension == c.extension) container = &c;
    if (!container)
        throw UsageError(target + ": unknown output format \"." + extension +
                         "\" (wav, aiff, flac, caf, au, w64, rf64, ogg, opus, mp3)");

    // A stereo 44.1 kHz probe: whether a container takes a sample format does
    // not depend on the rate or channel count of the files we write.
    auto valid = [&](int32_t sub) { return formatIsValid(container->major | sub, 44100, 2); };
    if (wanted != SampleFormat::asInput) {
        const int32_t sub = wanted == SampleFormat::pcm16   ? SF_FORMAT_PCM_16
                            : wanted == SampleFormat::pcm24 ? SF_FORMAT_PCM_24
                                                            : SF_FORMAT_FLOAT;
        if (!valid(sub))
            throw UsageError(target + ": ." + extension + " files cannot hold " +
                             describeFormat(sub) + " samples");
        return container->major | sub;
    }
    if (container->codec) return container->major | container->codec;

    // The input's sample format where the container takes it, else the
    // nearest that it does. An encoded input (MP3, Vorbis, ADPCM, ...) is
    // decoded to samples of no particular word length: 24-bit PCM holds
    // them, and a container may accept the codec but not write it.
    const int32_t inputSub = inputFormat & SF_FORMAT_SUBMASK;
    const bool isFloat = inputSub == SF_FORMAT_FLOAT || inputSub == SF_FORMAT_DOUBLE;
    const bool isSamples = pcmBits(inputSub) != 0 || isFloat;
    const int32_t siblingOf8 = inputSub == SF_FORMAT_PCM_U8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_U8;
    const int32_t own = isSamples ? inputSub : SF_FORMAT_PCM_24;
    const int32_t candidates[] = {own,
                                  pcmBits(inputSub) == 8 ? siblingOf8 : own,
                                  isFloat ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24,
                                  SF_FORMAT_PCM_24, SF_FORMAT_FLOAT, SF_FORMAT_PCM_16};
    for (int32_t sub : candidates) {
        if (!valid(sub)) continue;
        if (note && pcmBits(sub) != pcmBits(inputSub) && sub != inputSub)
            *note = target + ": ." + extension + " files cannot hold the input's " + describeFormat(inputSub) +
                    "; writing " + describeFormat(sub);
        return container->major | sub;
    }
    throw UsageError(target + ": cannot find a sample format for ." + extension + " files");
}

// --- output ---------------------------------------------------------------------------

platform::ReplaceOptions replaceOptionsFor(Existing existing) {
    platform::ReplaceOptions options;
    options.keepExisting = existing == Existing::keep;
    options.replaceWriteProtected = existing == Existing::force;
    return options;
}

std::string refusalText(const std::string& problem) {
    if (problem == "exists") return problem + "; --no-clobber keeps it";
    if (problem == "is write-protected") return problem + "; --force replaces it";
    return problem;
}

OutputFile::OutputFile(const std::string& target, int32_t format, int32_t sampleRate,
                       int32_t channels, Existing existing)
    : target(target) {
    if (!formatIsValid(format, sampleRate, channels))
        throw ProcessingError(target + ": " + describeFormat(format) + " at " +
                              std::to_string(sampleRate) + " Hz cannot be written in this format");
    std::string problem;
    if (!replacement.begin(target, replaceOptionsFor(existing), problem))
        throw ProcessingError(target + ": " + refusalText(problem));
    SF_INFO info{};
    info.format = format;
    info.samplerate = sampleRate;
    info.channels = channels;
    // The descriptor stays the replacement's: it flushes and closes it.
    file = sf_open_fd(replacement.descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (!file) throw ProcessingError(target + ": cannot be written: " + sndfileReason(nullptr));
    this->channels = channels;
    bits = pcmBits(format);
    isFloat = (format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT;
    exact = bits != 0 || isFloat || (format & SF_FORMAT_SUBMASK) == SF_FORMAT_DOUBLE;
}

OutputFile::~OutputFile() {
    if (file) sf_close(file);
}

void OutputFile::write(const double* interleaved, int64_t frames, double* stored) {
    const int64_t samples = frames * channels;
    sf_count_t written = 0;
    if (bits) {
        integers.resize(static_cast<size_t>(samples));
        if (!stored) {
            decoded.resize(static_cast<size_t>(samples));
            stored = decoded.data();
        }
        runWide<toPcmCodes>(selectedKernelVariant(), interleaved, samples, bits, integers.data(), stored);
        written = sf_writef_int(file, integers.data(), frames);
    } else if (isFloat) {
        floats.resize(static_cast<size_t>(samples));
        for (int64_t i = 0; i < samples; ++i) {
            floats[i] = static_cast<float>(interleaved[i]);
            if (stored) stored[i] = floats[i];
        }
        written = sf_writef_float(file, floats.data(), frames);
    } else {
        if (stored && exact) std::copy(interleaved, interleaved + samples, stored);
        written = sf_writef_double(file, interleaved, frames);
    }
    if (written != frames)
        throw ProcessingError(target + ": cannot be written: " + sndfileReason(file));
}

void OutputFile::close() {
    if (!file) return;
    const int status = sf_close(file);
    file = nullptr;
    if (status != 0) throw ProcessingError(target + ": write error: " + sf_error_number(status));
}

void OutputFile::commit() {
    close();
    std::string problem;
    if (!replacement.commit(problem)) throw ProcessingError(target + ": " + refusalText(problem));
}

bool isSameFile(const std::string& a, const std::string& b) {
    struct stat sa{}, sb{};
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace vexal::cli
