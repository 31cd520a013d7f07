#include "tools/render/batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "base/encoding.h"
#include "base/file_write.h"
#include "card/card_template.h"
#include "card/headless_card.h"
#include "graphics/image_loader.h"
#include "tools/render/csv.h"

namespace vantrelo {
namespace {

namespace fs = std::filesystem;

constexpr const char kBatchUsage[] =
    "usage: vantrelo-render batch FILE.csv --out-dir DIR [--format bmp|png|jpg] [--jobs N]\n";

int batchUsageError(const std::string& reason) {
    std::fprintf(stderr, "vantrelo-render: %s\n%s", reason.c_str(), kBatchUsage);
    return 2;
}

// One card to make, checked as far as it can be before any drawing.
struct Job {
    int line = 0;
    CardRequest request;
    std::string outputName;  // relative to the output folder
    CardFileFormat format = CardFileFormat::Bmp;
};

struct RowError {
    int line;
    std::string reason;
};

const char* extensionOf(CardFileFormat f) {
    switch (f) {
        case CardFileFormat::Png:
            return ".png";
        case CardFileFormat::Jpeg:
            return ".jpg";
        case CardFileFormat::Bmp:
            break;
    }
    return ".bmp";
}

std::string lowered(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return s;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// A name inside the output folder: relative, without "..", not empty.
bool staysInside(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.back() == '/') return false;
    for (const auto& part : fs::path(name)) {
        if (part == ".." || part == ".") return false;
    }
    return true;
}

std::optional<CardFileFormat> formatNamed(const std::string& s) {
    const std::string f = lowered(s);
    if (f == "bmp") return CardFileFormat::Bmp;
    if (f == "png") return CardFileFormat::Png;
    if (f == "jpg" || f == "jpeg") return CardFileFormat::Jpeg;
    return std::nullopt;
}

bool hasExtensionFor(const std::string& name, CardFileFormat format) {
    const std::string ext = lowered(fs::path(name).extension().string());
    if (format == CardFileFormat::Jpeg) return ext == ".jpg" || ext == ".jpeg";
    return ext == extensionOf(format);
}

// Makes one card and writes it; the reason when it fails.
std::string makeCard(HeadlessCard& card, const Job& job, const fs::path& outDir) {
    if (!job.request.avatarPath.empty()) {
        const ImageHandle probe = loadImage(job.request.avatarPath);
        if (probe == 0) return "avatar does not load as a picture: " + textToUtf8(job.request.avatarPath);
        unloadImage(probe);
    }
    const Bytes data = encodeCard(card.render(job.request), job.format);
    if (data.empty()) return "the card could not be encoded";
    const fs::path target = outDir / job.outputName;
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    // Flushed all at once when the batch is done.
    const WriteResult r = writeFileReplacing(target.string(), std::span<const Bytes>(&data, 1),
                                             InPlaceFallback::Forbidden, FlushEach::No);
    if (!r.ok) return "cannot write " + target.string() + ": " + std::strerror(r.error);
    return {};
}

void showProgress(std::size_t done, std::size_t total, std::chrono::steady_clock::time_point start) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = seconds > 0 ? double(done) / seconds : 0.0;
    const double left = rate > 0 ? double(total - done) / rate : 0.0;
    std::fprintf(stderr, "\r%zu of %zu cards, %.0f cards/s, %.1f s left   ", done, total, rate, left);
}

}  // namespace

int runBatch(const std::vector<std::string>& args) {
    std::optional<std::string> csvPath, outDirArg;
    std::optional<CardFileFormat> forcedFormat;
    int jobsWanted = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--out-dir" || a == "--format" || a == "--jobs") {
            if (i + 1 >= args.size()) return batchUsageError("missing value for " + a);
            const std::string v = args[++i];
            if (a == "--out-dir") {
                outDirArg = v;
            } else if (a == "--format") {
                forcedFormat = formatNamed(v);
                if (!forcedFormat) return batchUsageError("unknown format " + v);
            } else {
                char* end = nullptr;
                const long n = std::strtol(v.c_str(), &end, 10);
                if (v.empty() || *end || n < 1 || n > 64) return batchUsageError("--jobs must be 1 to 64: " + v);
                jobsWanted = int(n);
            }
        } else if (!a.empty() && a[0] == '-') {
            return batchUsageError("unknown option " + a);
        } else if (!csvPath) {
            csvPath = a;
        } else {
            return batchUsageError("more than one CSV file given");
        }
    }
    if (!csvPath) return batchUsageError("no CSV file given");
    if (!outDirArg) return batchUsageError("--out-dir is required");

    std::ifstream in(*csvPath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "vantrelo-render: cannot read %s: %s\n", csvPath->c_str(), std::strerror(errno));
        return 1;
    }
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const CsvResult csv = parseCsv(text);
    if (!csv.error.empty()) {
        std::fprintf(stderr, "vantrelo-render: %s line %d: %s\n", csvPath->c_str(), csv.errorLine, csv.error.c_str());
        return 1;
    }
    if (csv.rows.empty()) {
        std::fprintf(stderr, "vantrelo-render: %s has no header row\n", csvPath->c_str());
        return 1;
    }

    // Columns by name; the header may name any of them in any order.
    const char* const known[] = {"file", "template", "nickname", "board", "post", "contact", "avatar"};
    std::map<std::string, std::size_t> column;
    for (std::size_t c = 0; c < csv.rows[0].fields.size(); ++c) {
        const std::string name = lowered(trimmed(csv.rows[0].fields[c]));
        if (std::find(std::begin(known), std::end(known), name) == std::end(known)) {
            std::fprintf(stderr, "vantrelo-render: %s: unknown column \"%s\" is ignored\n", csvPath->c_str(),
                         name.c_str());
        } else {
            column.emplace(name, c);
        }
    }

    // The output folder must exist (or be made) and take files before any card is made.
    const fs::path outDir = *outDirArg;
    std::error_code ec;
    fs::create_directories(outDir, ec);
    {
        std::string probe = (outDir / ".vantrelo-probe-XXXXXX").string();
        const int fd = ::mkstemp(probe.data());
        if (fd < 0) {
            std::fprintf(stderr, "vantrelo-render: cannot write into %s: %s\n", outDir.c_str(), std::strerror(errno));
            return 1;
        }
        ::close(fd);
        ::unlink(probe.c_str());
    }

    const fs::path csvFolder = fs::absolute(fs::path(*csvPath)).parent_path();
    std::vector<Job> jobs;
    std::vector<RowError> errors;
    std::set<std::string> names;
    for (std::size_t r = 1; r < csv.rows.size(); ++r) {
        const CsvRow& row = csv.rows[r];
        auto field = [&](const char* name) -> std::string {
            const auto it = column.find(name);
            return it != column.end() && it->second < row.fields.size() ? row.fields[it->second] : std::string();
        };
        Job job;
        job.line = row.line;
        const std::string templateField = trimmed(field("template"));
        if (!templateField.empty()) {
            char* end = nullptr;
            const long n = std::strtol(templateField.c_str(), &end, 10);
            if (*end || n < 1 || n > kBuiltInTemplateCount) {
                errors.push_back({row.line, "unknown template \"" + templateField + "\""});
                continue;
            }
            job.request.templatePosition = std::int32_t(n);
        }
        const char* const lineColumns[4] = {"nickname", "board", "post", "contact"};
        for (int l = 0; l < 4; ++l) job.request.lines[l] = textFromUtf8(field(lineColumns[l]));
        const std::string avatar = field("avatar");
        if (!avatar.empty()) {
            const fs::path p = fs::path(avatar).is_absolute() ? fs::path(avatar) : csvFolder / avatar;
            job.request.avatarPath = textFromUtf8(p.string());
        }
        std::string name = trimmed(field("file"));
        if (name.empty()) name = std::to_string(r);
        if (!staysInside(name)) {
            errors.push_back({row.line, "file name \"" + name + "\" leaves the output folder"});
            continue;
        }
        if (forcedFormat) {
            job.format = *forcedFormat;
            if (!hasExtensionFor(name, job.format)) name += extensionOf(job.format);
        } else {
            job.format = cardFileFormatForName(textFromUtf8(name));
            if (fs::path(name).extension().empty()) name += ".bmp";
        }
        if (!names.insert(fs::path(name).lexically_normal().string()).second) {
            errors.push_back({row.line, "file name \"" + name + "\" is used by an earlier row"});
            continue;
        }
        job.outputName = name;
        jobs.push_back(std::move(job));
    }

    // Workers are processes: each makes every n-th card and reports one line
    // per card ("index" or "index reason") through a pipe.
    const int workers = std::max(1, std::min<int>(jobsWanted, int(jobs.size())));
    const bool interactive = ::isatty(STDERR_FILENO) == 1;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::string> failures(jobs.size());
    std::size_t done = 0;
    int fds[2];
    if (::pipe(fds) != 0) {
        std::fprintf(stderr, "vantrelo-render: %s\n", std::strerror(errno));
        return 1;
    }
    std::fflush(nullptr);
    std::vector<pid_t> children;
    for (int w = 0; w < workers && !jobs.empty(); ++w) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            FILE* out = ::fdopen(fds[1], "w");
            loadTemplateCatalogue();
            HeadlessCard card;
            for (std::size_t j = std::size_t(w); j < jobs.size(); j += std::size_t(workers)) {
                std::string reason = makeCard(card, jobs[j], outDir);
                std::replace(reason.begin(), reason.end(), '\n', ' ');
                std::fprintf(out, "%zu %s\n", j, reason.c_str());
                std::fflush(out);
            }
            std::fclose(out);
            std::_Exit(0);
        }
        if (pid < 0) {
            std::fprintf(stderr, "vantrelo-render: cannot start a worker: %s\n", std::strerror(errno));
            break;
        }
        children.push_back(pid);
    }
    ::close(fds[1]);
    if (FILE* results = ::fdopen(fds[0], "r")) {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, results)) {
            char* rest = nullptr;
            const std::size_t j = std::strtoull(buffer, &rest, 10);
            std::string reason = rest && *rest == ' ' ? rest + 1 : "";
            if (!reason.empty() && reason.back() == '\n') reason.pop_back();
            if (j < failures.size()) failures[j] = reason;
            ++done;
            if (interactive && (done % 50 == 0 || done == jobs.size())) showProgress(done, jobs.size(), start);
        }
        std::fclose(results);
    }
    bool workerFailed = false;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) workerFailed = true;
    }
    if (interactive && !jobs.empty()) std::fputc('\n', stderr);
    if (!jobs.empty() && !syncFolder(outDir.string())) {
        std::fprintf(stderr, "vantrelo-render: cannot flush %s to the disk: %s\n", outDir.c_str(), std::strerror(errno));
        workerFailed = true;
    }

    for (std::size_t j = 0; j < jobs.size(); ++j) {
        if (!failures[j].empty()) errors.push_back({jobs[j].line, failures[j]});
    }
    if (done < jobs.size()) {
        workerFailed = true;
        std::fprintf(stderr, "vantrelo-render: %zu cards were not made: a worker ended early\n", jobs.size() - done);
    }
    std::sort(errors.begin(), errors.end(), [](const RowError& a, const RowError& b) { return a.line < b.line; });
    for (const RowError& e : errors) std::fprintf(stderr, "%s line %d: %s\n", csvPath->c_str(), e.line, e.reason.c_str());

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t made = done - std::size_t(std::count_if(failures.begin(), failures.end(),
                                                               [](const std::string& f) { return !f.empty(); }));
    std::fprintf(stderr, "%zu of %zu cards made in %.2f s (%.0f cards/s), %zu rows failed\n", made,
                 csv.rows.size() - 1, seconds, seconds > 0 ? double(made) / seconds : 0.0, errors.size());
    return errors.empty() && !workerFailed ? 0 : 1;
}

}  // namespace vantrelo
