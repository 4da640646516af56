// A renaming run over every folder chosen for it: this copy's own, and those that copies started
// with it hand over. A question for each copy's folders where they need one, one progress
// window, one summary with the totals.
#include "App.h"

#include <algorithm>

namespace {

// Copies of one selection start within a moment of each other, Explorer starting one after
// another in a loop: the run stays open until this long has passed both since its process
// started and since the last copy handed its folders over, so that a long selection's copies
// all find it.
const ULONGLONG JoinWindowMs = 1000;

std::string IniPath;
int32_t DigitCount = 0;
int64_t CounterFrequency = 0;
int64_t CounterStart = 0;
int64_t CounterStop = 0;
// The comparable forms of the folders the run has taken in.
mv::TStrArr Accepted;

// Milliseconds since this process was created.
ULONGLONG ProcessAgeMs() {
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME &time) {
        return ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart;
    };
    // File times count 100-nanosecond steps.
    return ticks(now) > ticks(created) ? (ticks(now) - ticks(created)) / 10000 : 0;
}

int64_t Counter() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// The folders of one hand-over that are still folders and that no other chosen folder covers:
// a folder given twice, in whatever spelling, counts once, and one inside another is renamed by
// the outer one's pass.
mv::TStrArr NewFolders(const mv::TStrArr &handedOver, mv::TStrArr &comparable) {
    mv::TStrArr folders;
    for (const std::wstring &folder : handedOver) {
        if (!IsExistingFolder(folder)) continue;
        const std::wstring path = ComparablePath(folder);
        const auto covers = [&](const std::wstring &outer) {
            return SamePath(path, outer) || IsInside(path, outer);
        };
        if (std::any_of(Accepted.begin(), Accepted.end(), covers) ||
            std::any_of(comparable.begin(), comparable.end(), covers))
            continue;
        for (size_t i = comparable.size(); i-- > 0;) {
            if (!IsInside(comparable[i], path)) continue;
            comparable.erase(comparable.begin() + i);
            folders.erase(folders.begin() + i);
        }
        folders.push_back(folder);
        comparable.push_back(path);
    }
    return folders;
}

} // namespace

void RunRenaming(bool dropped) {
    const ULONGLONG startTick = GetTickCount64() - ProcessAgeMs();
    // A drop brings the whole selection at once: nothing is waited for. Copies and other drops
    // that come while the run works still join it.
    const ULONGLONG joinWindowMs = dropped ? 0 : JoinWindowMs;
    const auto joinEndTick = [&] { return std::max(startTick, LastHandOverTick()) + joinWindowMs; };
    if (dropped) BringRunToFront();
    TRunCounts counts;
    bool started = false;
    for (;;) {
        mv::TStrArr handedOver;
        while (TakeHandedOver(handedOver)) {
            mv::TStrArr comparable;
            const mv::TStrArr folders = NewFolders(handedOver, comparable);
            if (folders.empty()) continue;
            // After a stop, folders that come later keep their names too.
            if (started && StopRequested()) {
                counts.stopped = true;
                continue;
            }
            // The question, when there is one, comes before the clock starts; No keeps this
            // copy's folders as they are.
            if (!ConfirmRun(folders)) continue;
            Accepted.insert(Accepted.end(), comparable.begin(), comparable.end());
            if (!started) {
                started = true;
                LARGE_INTEGER frequency;
                QueryPerformanceFrequency(&frequency);
                CounterFrequency = frequency.QuadPart;
                CounterStart = Counter();
                StartProgress();
                IniPath = MakeIniPath(GetArgument(0));
                DigitCount = ClampDigitCount(mv::IniReadInteger(IniPath, "Options", "Digits", 5));
            }
            RenameBelow(folders, DigitCount, counts);
            CounterStop = Counter();
        }
        // Copies of the same selection that start a little later still find the run.
        while (!HandOverWaiting() && GetTickCount64() < joinEndTick() && WaitAnswering(10)) {
        }
        if (!HandOverWaiting() && CloseRun()) break;
    }
    FinishProgress();
    if (started)
        MessageBoxA(nullptr,
                    SummaryText(counts.found, counts.renamed, CounterFrequency, CounterStart,
                                CounterStop, counts.unlisted, counts.stopped)
                        .c_str(),
                    "Morvandels Folder Renamer", RunBoxType(MB_OK));
    EndProgress();
}
