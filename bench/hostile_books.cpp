// Books made to hurt the converters, and what opening each costs.
//   hostile_books DIR [TOOL]
// writes the files into DIR; with TOOL (lectorix-tool) it then runs `count` and `book` on each
// and prints, per run, the wall time, the peak resident memory, the exit status and the first
// line of stderr as a Markdown table; the status is 1 when a run was killed by a signal.
#include <archive.h>
#include <archive_entry.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

std::string Zip(const Files& files) {
    size_t size = 4096;
    for (const auto& f : files)
        size += f.first.size() + f.second.size() + 256;
    std::string out(size, '\0');
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_memory(a, out.data(), out.size(), &used);
    for (const auto& [name, bytes] : files) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
        archive_write_header(a, e);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    out.resize(used);
    return out;
}

// An EPUB of the chapter a.xhtml, with `nav` as its navigation document when given.
std::string Epub(const std::string& chapter, const std::string& nav = {}) {
    Files files = {{"mimetype", "application/epub+zip"},
                   {"META-INF/container.xml",
                    "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"c.opf\"/>"
                    "</rootfiles></container>"},
                   {"c.opf",
                    "<?xml version=\"1.0\"?><package><metadata/><manifest>"
                    "<item id=\"a\" href=\"a.xhtml\" media-type=\"application/xhtml+xml\"/>"
                    "<item id=\"n\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" "
                    "properties=\"nav\"/></manifest><spine><itemref idref=\"a\"/></spine>"
                    "</package>"},
                   {"a.xhtml", chapter}};
    if (!nav.empty()) files.emplace_back("nav.xhtml", nav);
    return Zip(files);
}

std::string Fb2(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<FictionBook><body>" + body +
           "</body></FictionBook>\n";
}

std::string Attributes(int count) {
    std::string s;
    for (int i = 0; i < count; ++i)
        s += " a" + std::to_string(i) + "=\"\"";
    return s;
}

// LECTORIX_BENCH_HOSTILE_SCALE divides every count and size (the test suite's smoke run).
int Scaled(int n) {
    const char* scale = std::getenv("LECTORIX_BENCH_HOSTILE_SCALE");
    const int by = scale ? std::max(1, std::atoi(scale)) : 1;
    return std::max(1, n / by);
}

Files Inputs() {
    Files out;
    for (const int k : {100, 200, 400})
        out.emplace_back(
            "fb2_attrs_" + std::to_string(k) + "k.fb2",
            Fb2("<section><p" + Attributes(Scaled(k * 1000)) + ">Текст.</p></section>"));
    out.emplace_back("epub_attrs_400k.epub", Epub("<html><body><p" + Attributes(Scaled(400000)) +
                                                  ">Текст.</p></body></html>"));
    std::string chapters;
    for (int i = 0; i < Scaled(300000); ++i)
        chapters += "<section><title><p>Глава " + std::to_string(i) +
                    "</p></title><p>Текст.</p></section>\n";
    out.emplace_back("fb2_300k_chapters.fb2", Fb2(chapters));
    // EPUB 3: the entries in the navigation document, each into an anchor of the chapter.
    std::string nav = "<html><body><nav epub:type=\"toc\"><ol>", anchors = "<html><body>";
    for (int i = 0; i < Scaled(200000); ++i) {
        nav += "<li><a href=\"a.xhtml#c" + std::to_string(i) + "\">Глава " + std::to_string(i) +
               "</a></li>";
        anchors += "<p id=\"c" + std::to_string(i) + "\">Текст.</p>";
    }
    out.emplace_back("epub_200k_entries.epub",
                     Epub(anchors + "</body></html>", nav + "</ol></nav></body></html>"));
    out.emplace_back(
        "epub_50mb_attribute.epub",
        Epub("<html><body><p title=\"" + std::string(static_cast<size_t>(Scaled(50 << 20)), 'A') +
             "\">Текст.</p></body></html>"));
    // A million contents entries, all at the start of a one-line body.
    std::string lxb = "   Глава\r\n<MENU>\r\n";
    std::string zeros;
    for (int k = 0; k < 38; ++k)
        zeros += "0|";
    for (int i = 0; i < Scaled(1000000); ++i)
        lxb += "Глава|0|0|" + zeros + "\r\n";
    lxb += "<INFOTEXTlen>|" + std::to_string(lxb.find("<MENU>")) + "|5|";
    for (int k = 0; k < 38; ++k)
        lxb += "1|";
    lxb += "\r\n<INFOTEXTEND>\r\n";
    out.emplace_back("lxb_1m_entries.lxb", lxb);
    return out;
}

struct Run {
    double Seconds = 0;
    long PeakKb = 0;
    int Status = 0;
    std::string Stderr;
};

Run RunTool(const std::string& tool, const std::string& command, const std::string& file) {
    int err[2];
    if (pipe(err) != 0) return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(err[1], 2);
        close(err[0]);
        alarm(120);  // a run that never ends shows as killed by SIGALRM (142)
        execl(tool.c_str(), tool.c_str(), command.c_str(), file.c_str(), nullptr);
        _exit(127);
    }
    close(err[1]);
    Run run;
    char buffer[4096];
    for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;)
        if (run.Stderr.size() < 4096) run.Stderr.append(buffer, static_cast<size_t>(n));
    close(err[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.PeakKb = usage.ru_maxrss;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.Stderr = run.Stderr.substr(0, run.Stderr.find('\n'));
    if (run.Stderr.size() > 160) run.Stderr = run.Stderr.substr(0, 160) + "…";
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: hostile_books DIR [TOOL]\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    // Written by a child: a child forked later by a large parent would count the parent's pages
    // in its peak memory until it runs the tool.
    const pid_t writer = fork();
    if (writer == 0) {
        for (const auto& [name, bytes] : Inputs())
            std::ofstream(dir / name, std::ios::binary) << bytes;
        _exit(0);
    }
    waitpid(writer, nullptr, 0);
    if (argc < 3) return 0;
    std::vector<std::pair<std::string, double>> written;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        written.emplace_back(entry.path().filename().string(),
                             static_cast<double>(entry.file_size()) / (1 << 20));
    std::sort(written.begin(), written.end());
    std::printf(
        "| file | size | command | time | peak memory | status | stderr |\n"
        "|---|---|---|---|---|---|---|\n");
    bool failed = false;
    for (const auto& [name, mb] : written) {
        for (const char* command : {"count", "book"}) {
            const Run r = RunTool(argv[2], command, (dir / name).string());
            std::printf("| %s | %.2f MB | %s | %.2f s | %.0f MB | %d | %s |\n", name.c_str(), mb,
                        command, r.Seconds, static_cast<double>(r.PeakKb) / 1024, r.Status,
                        r.Stderr.c_str());
            std::fflush(stdout);
            if (r.Status >= 128) failed = true;
        }
    }
    return failed ? 1 : 0;  // a run killed by a signal: a crash, or past the two minutes
}
