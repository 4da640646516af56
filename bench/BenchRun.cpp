// bench_run.exe: times FolderRename.exe against both floor programs on prepared folder trees.
//
//   bench_run.exe [--runs N] [--remake COMMAND] TOOL.exe FLOOR.exe LEANFLOOR.exe TREE...
//   bench_run.exe --smoke
//
// Each run is timed from process creation to process end; the one message box a run shows
// at its end is answered as soon as it appears. In each round the three programs rename the
// same tree in turn, each round starting with the next program, after one unmeasured round to
// warm the file system's caches. With --remake, the host command COMMAND (given the tree's name,
// in its parent folder) builds the tree anew before every run; without, each program renames the
// tree as the one before left it. The figures are medians of N rounds (5 unless given); the time
// per folder of the first two trees is compared, so give the deep trees first. --smoke builds a
// small tree in a temporary folder, runs each program once and fails unless each renamed all of it.
#include "Driver.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <regex>

namespace {

struct TRun {
    bool ok = false;
    double seconds = 0;
    double neededSeconds = -1; // the tool's own "Needed:" figure
    int found = -1;
    int renamed = -1;
    SIZE_T peakWorkingSet = 0;
};

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The program's message box, once it is up. The system is asked for message boxes alone, so a
// poll costs the same whatever other windows the program shows: a poll that looked at each of
// its windows cost more for a program with a progress window, and that time came out of its run
// on the one CPU they share.
HWND FindBox(DWORD processId) {
    for (HWND box = nullptr; (box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(box, &owner);
        if (owner == processId && IsWindowVisible(box)) return box;
    }
    return nullptr;
}

// Reads the box's text and presses its OK button once both exist.
bool AnswerBox(HWND box, std::wstring &text) {
    for (int tries = 0; tries < 5000; ++tries) {
        HWND ok = driver::FindChild(box, L"Button");
        if (ok && IsWindowEnabled(ok)) {
            text = driver::BoxText(box);
            return driver::PressButton(ok);
        }
        Sleep(1);
    }
    return false;
}

// The host command that builds a tree anew, given the tree's name, in the tree's parent folder;
// empty: the programs rename the tree as the one before them left it.
std::wstring RemakeCommand;

// Every run starts from the same folders: how the run before left a folder's entries changed
// the next run's time by a third.
bool RemakeTree(const std::wstring &tree) {
    if (RemakeCommand.empty()) return true;
    const size_t slash = tree.find_last_of(L'\\');
    return driver::RunHostShell(RemakeCommand + L" '" + tree.substr(slash + 1) + L"'",
                                tree.substr(0, slash), 600000) == 0;
}

TRun RunOnce(const std::wstring &program, const std::wstring &tree) {
    TRun run;
    if (!RemakeTree(tree)) return run;
    std::wstring line = L"\"" + program + L"\" \"" + tree + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const double start = Now();
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return run;
    CloseHandle(info.hThread);
    std::wstring text;
    // Wine does not always answer for a process that has ended, so the peak is also read while
    // the last box is up, when all the work is done.
    const auto notePeak = [&] {
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(info.hProcess, &memory, sizeof memory))
            run.peakWorkingSet = std::max(run.peakWorkingSet, memory.PeakWorkingSetSize);
    };
    // A fine poll: the box is answered within about a millisecond of its appearance.
    while (WaitForSingleObject(info.hProcess, 1) == WAIT_TIMEOUT) {
        const HWND box = FindBox(info.dwProcessId);
        if (!box) continue;
        notePeak();
        if (AnswerBox(box, text)) break;
    }
    const bool ended = WaitForSingleObject(info.hProcess, 600000) == WAIT_OBJECT_0;
    run.seconds = Now() - start;
    notePeak();
    CloseHandle(info.hProcess);

    std::wsmatch match;
    static const std::wregex counts(L"Found: (\\d+) folders\r\nRenamed: (\\d+) of");
    if (std::regex_search(text, match, counts)) {
        run.found = std::stoi(match[1]);
        run.renamed = std::stoi(match[2]);
    }
    static const std::wregex needed(L"Needed: +([0-9.]+) seconds");
    if (std::regex_search(text, match, needed)) run.neededSeconds = std::stod(match[1]);
    run.ok = ended && run.found >= 0 && run.renamed == run.found;
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double MiB(SIZE_T bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

struct TPrograms {
    std::wstring tool, floor, leanFloor;
};

struct TTreeResult {
    int folders = 0;
    double tool = 0, floor = 0, leanFloor = 0, needed = 0;
    SIZE_T toolPeak = 0, floorPeak = 0;
};

// Without warming, the one round that the smoke test needs.
bool MeasureTree(const TPrograms &programs, const std::wstring &tree, int runs, TTreeResult &result,
                 bool warm = true) {
    std::vector<double> toolTimes, floorTimes, leanTimes, neededTimes;
    for (int round = warm ? -1 : 0; round < runs; ++round) {
        // Each round starts with another program: a run is faster or slower after another's,
        // and that must not always favour the same one.
        TRun floorRun, leanRun, toolRun;
        const std::pair<const std::wstring *, TRun *> order[] = {{&programs.floor, &floorRun},
                                                                 {&programs.leanFloor, &leanRun},
                                                                 {&programs.tool, &toolRun}};
        for (int k = 0; k < 3; ++k) {
            const auto &[program, run] = order[(round + 3 + k) % 3];
            *run = RunOnce(*program, tree);
        }
        if (!floorRun.ok || !leanRun.ok || !toolRun.ok || floorRun.found != toolRun.found ||
            leanRun.found != toolRun.found) {
            std::printf("run failed on %ls: floor %d/%d, lean floor %d/%d, tool %d/%d folders "
                        "renamed\n",
                        tree.c_str(), floorRun.renamed, floorRun.found, leanRun.renamed,
                        leanRun.found, toolRun.renamed, toolRun.found);
            return false;
        }
        result.folders = toolRun.found;
        if (round < 0) continue;
        floorTimes.push_back(floorRun.seconds);
        leanTimes.push_back(leanRun.seconds);
        toolTimes.push_back(toolRun.seconds);
        neededTimes.push_back(toolRun.neededSeconds);
        result.toolPeak = std::max(result.toolPeak, toolRun.peakWorkingSet);
        result.floorPeak = std::max(result.floorPeak, floorRun.peakWorkingSet);
        std::printf("  %ls run %d: floor %.3f s, lean floor %.3f s, tool %.3f s (its own count "
                    "%.3f s)\n",
                    tree.c_str(), round + 1, floorRun.seconds, leanRun.seconds, toolRun.seconds,
                    toolRun.neededSeconds);
        std::fflush(stdout);
    }
    result.tool = Median(toolTimes);
    result.floor = Median(floorTimes);
    result.leanFloor = Median(leanTimes);
    result.needed = Median(neededTimes);
    return true;
}

int Smoke() {
    driver::TTempDir sandbox(L"bench");
    const int folders = driver::BuildTree(sandbox.Path(), 3, 2);
    const std::wstring own = driver::OwnFolder();
    const TPrograms programs{own + L"FolderRename.exe", own + L"Floor.exe", own + L"LeanFloor.exe"};
    TTreeResult result;
    if (!MeasureTree(programs, sandbox.Path(), 1, result, false)) return 1;
    std::printf("smoke: %d folders, tool %.3f s, floor %.3f s, lean floor %.3f s\n", result.folders,
                result.tool, result.floor, result.leanFloor);
    return result.folders == folders ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"--smoke") return Smoke();
    int runs = 5;
    int i = 1;
    for (; argc - i > 1 && argv[i][0] == L'-'; i += 2) {
        if (std::wstring(argv[i]) == L"--runs") runs = std::max(1, _wtoi(argv[i + 1]));
        if (std::wstring(argv[i]) == L"--remake") RemakeCommand = argv[i + 1];
    }
    if (argc - i < 4) {
        std::printf("usage: bench_run.exe [--runs N] [--remake COMMAND] TOOL.exe FLOOR.exe "
                    "LEANFLOOR.exe TREE...\n");
        return 2;
    }
    const TPrograms programs{argv[i], argv[i + 1], argv[i + 2]};
    std::vector<TTreeResult> results;
    for (int t = i + 3; t < argc; ++t) {
        TTreeResult result;
        if (!MeasureTree(programs, argv[t], runs, result)) return 1;
        results.push_back(result);
    }
    std::printf("\nmedians of %d rounds\n", runs);
    std::printf("%8s %9s %9s %9s %10s %9s %12s %12s %11s %11s %10s\n", "folders", "tool s",
                "floor s", "lean s", "tool/floor", "tool/lean", "tool us/fold", "work us/fold",
                "tool peak", "floor peak", "peak ratio");
    for (const TTreeResult &r : results) {
        std::printf("%8d %9.3f %9.3f %9.3f %10.3f %9.3f %12.1f %12.1f %7.1f MiB %7.1f MiB %10.2f\n",
                    r.folders, r.tool, r.floor, r.leanFloor, r.tool / r.floor, r.tool / r.leanFloor,
                    r.tool * 1e6 / r.folders, r.needed * 1e6 / r.folders, MiB(r.toolPeak),
                    MiB(r.floorPeak),
                    static_cast<double>(r.toolPeak) / static_cast<double>(r.floorPeak));
    }
    if (results.size() >= 2) {
        const TTreeResult &small = results[0], &large = results[1];
        std::printf("\ntime per folder, %d against %d folders: whole run %.2fx, the tool's own "
                    "count %.2fx\n",
                    large.folders, small.folders,
                    (large.tool / large.folders) / (small.tool / small.folders),
                    (large.needed / large.folders) / (small.needed / small.folders));
    }
    return 0;
}
