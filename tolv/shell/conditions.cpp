#include "tolv/shell/conditions.h"

#include "common/format.h"

#include <algorithm>

namespace varenta {

namespace {

using K = ControlKind;
using T = ControlTarget;
namespace m = conditionmark;

constexpr const char* kNoName = "－－－";

std::vector<ControlBinding> makeBindings()
{
    std::vector<ControlBinding> b;
    const auto item = [&b](const char* name, K kind, int item, int value, std::uint32_t marks, int tab) {
        b.push_back({name, kind, T::Item, item, value, 0, marks, tab});
    };
    const auto bit = [&b](const char* name, T target, std::uint32_t bitValue, std::uint32_t marks, int tab) {
        b.push_back({name, K::Check, target, -1, -1, bitValue, marks, tab});
    };

    // Tab 0: processing constants.
    item("Text1_10", K::Text, 97, 0, m::kReprocess, 0);
    item("Text1_11", K::Text, 97, 1, m::kReprocess, 0);
    item("Text1_31", K::Text, 68, 2, m::kReprocess, 0);
    item("Text1_30", K::Text, 97, 6, m::kReprocess, 0);
    item("Text1_29", K::Text, 68, 1, m::kReprocess, 0);
    item("Text1_28", K::Text, 68, 0, m::kReprocess, 0);
    item("Text1_15", K::Text, 99, 6, m::kReprocess, 0);
    b.push_back({"Text1_14", K::Text, T::None, -1, -1, 0, 0, 0});
    b.push_back({"Text1_13", K::Text, T::None, -1, -1, 0, 0, 0});
    item("Text1_4", K::Text, 67, 4, m::kReprocess, 0);
    bit("Check1_0", T::AutoBit, 0x01, m::kReprocess, 0);
    item("Text1_1", K::Text, 67, 1, m::kReprocess, 0);
    item("Text1_2", K::Text, 67, 2, m::kReprocess, 0);
    item("Text1_3", K::Text, 67, 3, m::kReprocess, 0);
    item("Text1_0", K::Text, 67, 0, m::kReprocess, 0);
    item("Text1_6", K::Text, 99, 3, m::kReprocess, 0);
    bit("Check1_5", T::Switch2Bit, switch2::kDirectional, m::kReprocess, 0);
    bit("Check1_6", T::Switch2Bit, switch2::kUltrasonic, m::kReprocess, 0);
    item("Check1_12", K::Check, 96, 0, m::kReprocess, 0);
    bit("Check1_13", T::Switch2Bit, switch2::kWaveStatistics, m::kReprocess, 0);

    // Tab 1: results table.
    bit("Check1_7", T::AutoBit, 0x80, m::kItemLists | m::kResultsTable | m::kResultsGraph, 1);
    item("Text1_16", K::Text, 66, 2, m::kResultsTable, 1);
    item("Text1_17", K::Text, 66, 3, m::kResultsTable, 1);

    // Tab 2: raw data graph, eight lanes and the switches.
    static const char* const showNames[8] = {"Check3_0", "Check3_1", "Check3_2", "Check3_3",
                                             "Check3_4", "Check3_5", "Check3_6", "Check3_7"};
    static const char* const scaleNames[8] = {"Combo4_0", "Combo4_1", "Combo4_2", "Combo4_3",
                                              "Combo4_4", "Combo4_5", "Combo4_6", "Combo4_7"};
    static const char* const rawColourNames[8] = {"Label4_0", "Label4_1", "Label4_2", "Label4_3",
                                                  "Label4_4", "Label4_5", "Label4_6", "Label4_7"};
    for (int i = 0; i < 8; ++i) {
        item(showNames[i], K::Check, 170 + i, 0, m::kRawGraph, 2);
        item(scaleNames[i], K::Text, 170 + i, 1, m::kRawGraph, 2);
        item(rawColourNames[i], K::Colour, 170 + i, 3, m::kRawGraph, 2);
    }
    item("Combo4_8", K::Text, 79, 0, m::kRawGraph, 2);
    bit("Check3_8", T::AutoBit, 0x100, m::kRawGraph, 2);
    bit("Check3_9", T::AutoBit, 0x200, m::kRawGraph, 2);
    bit("Check3_10", T::AutoBit, 0x400, m::kRawGraph, 2);
    bit("Check3_11", T::AutoBit, 0x800, m::kRawGraph, 2);
    bit("Check3_12", T::AutoBit, 0x1000, m::kRawGraph, 2);

    // Tab 2: results graph, eight channels and the switches.
    static const char* const codeNames[8] = {"Combo3_0", "Combo3_1", "Combo3_2", "Combo3_3",
                                             "Combo3_4", "Combo3_5", "Combo3_6", "Combo3_7"};
    static const char* const lowNames[8] = {"Combo3_8",  "Combo3_9",  "Combo3_10", "Combo3_11",
                                            "Combo3_12", "Combo3_13", "Combo3_14", "Combo3_15"};
    static const char* const highNames[8] = {"Combo3_16", "Combo3_17", "Combo3_18", "Combo3_19",
                                             "Combo3_20", "Combo3_21", "Combo3_22", "Combo3_23"};
    static const char* const resColourNames[8] = {"Label3_0", "Label3_1", "Label3_2", "Label3_3",
                                                  "Label3_4", "Label3_5", "Label3_6", "Label3_7"};
    for (int i = 0; i < 8; ++i) {
        item(codeNames[i], K::ItemCode, 70 + i, 0, m::kResultsGraph, 2);
        item(lowNames[i], K::Text, 70 + i, 1, m::kResultsGraph, 2);
        item(highNames[i], K::Text, 70 + i, 2, m::kResultsGraph, 2);
        item(resColourNames[i], K::Colour, 70 + i, 3, m::kResultsGraph, 2);
    }
    item("Combo3_24", K::Text, 78, 0, m::kResultsGraph, 2);
    item("Combo3_25", K::Text, 78, 2, m::kResultsGraph, 2);
    bit("Check4_0", T::AutoBit, 0x2000, m::kResultsGraph, 2);
    bit("Check4_1", T::AutoBit, 0x4000, m::kResultsGraph, 2);
    bit("Check4_2", T::AutoBit, 0x8000, m::kResultsGraph, 2);
    item("Label3_8", K::Colour, 65, 6, m::kResultsGraph, 2);
    item("Label3_9", K::Colour, 65, 7, m::kResultsGraph, 2);

    // Tab 3: automatic processing, printing, print format.
    bit("Check1_8", T::StartFlag, startflag::kWeeklyBackup, m::kTimers, 3);
    bit("Check1_3", T::AutoBit, autofn::kProcessing, m::kTimers, 3);
    item("Text1_22", K::Text, 67, 6, 0, 3);
    item("Text1_23", K::Text, 67, 7, 0, 3);
    item("Text1_24", K::Text, 68, 4, 0, 3);
    bit("Check1_2", T::AutoBit, autofn::kGraphPrint, m::kTimers, 3);
    bit("Check1_1", T::AutoBit, autofn::kTablePrint, m::kTimers, 3);
    item("Text1_19", K::Text, 66, 6, 0, 3);
    item("Text1_20", K::Text, 66, 7, 0, 3);
    item("Text1_21", K::Text, 66, 5, 0, 3);
    item("Text1_5", K::Text, 85, 0, m::kRawGraph | m::kResultsGraph, 3);
    item("Text1_18", K::Text, 68, 3, 0, 3);
    item("Check2_0", K::Check, 85, 1, 0, 3);
    item("Check5_0", K::Check, 85, 2, 0, 3);

    // Tab 4: web pages and download.
    bit("Check1_11", T::AutoBit, 0x40, m::kWebPage, 4);
    item("Text1_12", K::Text, 96, 5, m::kWebPage, 4);
    bit("Check1_4", T::AutoBit, 0x10, m::kWebPage, 4);
    bit("Check1_10", T::AutoBit, autofn::kDownload, m::kTimers, 4);
    item("Text1_7", K::Text, 83, 6, 0, 4);
    item("Text1_8", K::Text, 83, 7, 0, 4);
    item("Text1_9", K::Text, 83, 5, 0, 4);
    return b;
}

const std::string kEmptyValue;

std::uint32_t setBit(std::uint32_t word, std::uint32_t bit, bool on) { return on ? (word | bit) : (word & ~bit); }

std::string codeText(int code) { return formatMask(code, "000"); }

std::string flagText(bool on) { return std::string(1, on ? '1' : '0'); }

}  // namespace

const std::vector<ControlBinding>& conditionBindings()
{
    static const std::vector<ControlBinding> bindings = makeBindings();
    return bindings;
}

const ControlBinding* findBinding(const std::string& name)
{
    for (const ControlBinding& b : conditionBindings())
        if (name == b.name)
            return &b;
    return nullptr;
}

std::uint32_t marksFor(const std::string& name)
{
    if (const ControlBinding* b = findBinding(name))
        return b->marks;
    if (name == "List1_0")
        return m::kItemLists;
    if (name == "List1_2")
        return m::kItemLists | m::kWebPage;
    if (name == "Text2")
        return m::kWebFile;
    if (name.rfind("Combo2_", 0) == 0)
        return m::kRawGraph;
    return 0;
}

const std::vector<std::string>& scheduleFieldNames()
{
    static const std::vector<std::string> names = {"Text1_7", "Text1_8", "Text1_19", "Text1_20", "Text1_22", "Text1_23"};
    return names;
}

const std::string& ConditionsForm::value(const std::string& name) const
{
    const auto it = values.find(name);
    return it == values.end() ? kEmptyValue : it->second;
}

void readItemLists(ConditionsForm& form, const Settings& s, int selectionItem)
{
    form.tableCodes = threeDigitCodes(s.value(selectionItem, 0));
    form.recordCodes = threeDigitCodes(s.value(selectionItem, 1), kRecordPositions);
    form.webCodes = threeDigitCodes(s.value(selectionItem, 2));
    for (std::vector<int>* list : {&form.tableCodes, &form.webCodes})
        if (list->size() > static_cast<std::size_t>(kListCapacity))
            list->resize(kListCapacity);
}

ConditionsForm readConditions(const Settings& s, const RuntimeState& state, std::uint32_t startFlags,
                              int selectionItem)
{
    ConditionsForm f;
    for (const ControlBinding& b : conditionBindings()) {
        std::string v;
        switch (b.target) {
        case T::Item:
            switch (b.kind) {
            case K::Check: v = flagText(s.trimmed(b.item, b.value) == "1"); break;
            case K::Colour: v = s.trimmed(b.item, b.value); break;
            case K::ItemCode:
                v = s.isBlank(b.item, b.value) ? std::string() : std::to_string(s.integer(b.item, b.value));
                break;
            case K::Text: v = s.value(b.item, b.value); break;
            }
            break;
        case T::AutoBit: v = flagText((state.autoWord & b.bit) != 0); break;
        case T::Switch2Bit: v = flagText((state.switchWord2 & b.bit) != 0); break;
        case T::StartFlag: v = flagText((startFlags & b.bit) != 0); break;
        case T::None: break;
        }
        f.values[b.name] = v;
    }
    f.setChecked("Check2_1", !f.checked("Check2_0"));
    f.setChecked("Check5_1", !f.checked("Check5_0"));
    readItemLists(f, s, selectionItem);
    for (int k = 0; k < 8; ++k) {
        const std::string path = s.trimmed(98, k);
        if (!path.empty())
            f.masterFiles.push_back(path);
    }
    f.webFile = s.value(kWebFileItem, 0);
    return f;
}

std::vector<int> paddedRecordCodes(const std::vector<int>& codes)
{
    std::vector<int> out(codes.begin(), codes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                            codes.size(), kSelectionEntries)));
    while (out.size() < static_cast<std::size_t>(kSelectionEntries))
        out.push_back(kSpacerCode);
    return out;
}

void storeConditions(const ConditionsForm& form, Settings& s, RuntimeState& state, std::uint32_t& startFlags,
                     int selectionItem)
{
    // The automatic-function word: its sixteen switch bits from the boxes.
    std::uint32_t autoWord = state.autoWord & ~0xFFFFu;
    std::uint32_t second = state.switchWord2;
    for (const ControlBinding& b : conditionBindings()) {
        const std::string& v = form.value(b.name);
        switch (b.target) {
        case T::Item:
            switch (b.kind) {
            case K::Check: s.set(b.item, b.value, flagText(v == "1")); break;
            case K::ItemCode:
                s.set(b.item, b.value, trimBlanks(v).empty() ? std::string() : codeText(static_cast<int>(textToInt(v))));
                break;
            case K::Colour:
            case K::Text: s.set(b.item, b.value, v); break;
            }
            break;
        case T::AutoBit: autoWord = setBit(autoWord, b.bit, v == "1"); break;
        case T::Switch2Bit: second = setBit(second, b.bit, v == "1"); break;
        case T::StartFlag: startFlags = setBit(startFlags, b.bit, v == "1"); break;
        case T::None: break;
        }
    }
    state.autoWord = autoWord;
    state.switchWord2 = second;
    s.setHex(85, 4, autoWord);
    s.setHex(85, 5, second);

    s.set(selectionItem, 0, threeDigitText(form.tableCodes));
    s.set(selectionItem, 1, threeDigitText(paddedRecordCodes(form.recordCodes)));
    s.set(selectionItem, 2, threeDigitText(form.webCodes));

    if (form.masterFilesChanged)
        for (int k = 0; k < 8; ++k)
            s.set(98, k, static_cast<std::size_t>(k) < form.masterFiles.size() ? form.masterFiles[static_cast<std::size_t>(k)]
                                                                                : std::string());
}

UpdateOutcome runConditionsUpdate(ConditionsForm& form, std::uint32_t& marks, ConditionsHost& host)
{
    UpdateOutcome out;
    Settings& s = host.settings();
    RuntimeState& state = host.runtime();

    // 1. Every control into the table; header priority copies the header's
    // conditions over them, and the form then shows what the table holds.
    std::uint32_t flags = host.startFlags();
    storeConditions(form, s, state, flags, host.selectionItem());
    host.setStartFlags(flags);
    form.masterFilesChanged = false;
    if (s.trimmed(96, 0) == "1") {
        host.copyHeaderConditions();
        host.rebuildItemMapping();
        out.headerCopied = true;
        out.mappingRebuilt = true;
        const std::string webFile = form.webFile;
        form = readConditions(s, state, host.startFlags(), host.selectionItem());
        form.webFile = webFile;
        out.formReloaded = true;
    }

    // 2. The item mapping and the lists.
    if (marks & m::kItemLists) {
        if (!out.mappingRebuilt)
            host.rebuildItemMapping();
        out.mappingRebuilt = true;
        readItemLists(form, s, host.selectionItem());
        out.listsRefilled = true;
    }

    // 3. The web file: stored and merged into its master file.
    if (marks & m::kWebFile) {
        s.set(kWebFileItem, 0, form.webFile);
        out.merged = true;
        if (host.mergeArrivedFile(trimBlanks(form.webFile)).empty()) {
            form.webFile.clear();
            s.set(kWebFileItem, 0, "");
            out.webFileCleared = true;
        }
    }

    // 4. Reprocessing covers every view; otherwise only what is stale.
    if (marks & m::kReprocess) {
        host.reprocess();
        out.reprocessed = true;
    } else {
        if ((marks & m::kResultsTable) && host.resultsTableOpen()) {
            host.rebuildResultsTable();
            out.resultsTableRebuilt = true;
        }
        if (marks & m::kRawGraph) {
            host.redisplay();
            out.redisplayed = true;
        }
        if (marks & m::kResultsGraph) {
            host.redrawResultsGraph();
            out.resultsGraphRedrawn = true;
        }
    }

    // 5. The timers of the automatic functions.
    if (marks & m::kTimers) {
        host.reapplyTimers();
        out.timersReapplied = true;
    }

    // 6. Every mark is cleared (the web file mark too: the merge is done).
    marks = 0;
    return out;
}

std::string itemShortName(const ResultItemTable& items, int code)
{
    std::string name = items.defined(code) ? trimBlanks(items.shortName(code)) : std::string();
    return name.empty() ? std::string(kNoName) : name;
}

std::string itemListEntry(const ResultItemTable& items, int code)
{
    return codeText(code) + " " + itemShortName(items, code);
}

ListEditResult editItemList(std::vector<int>& left, ListOp op, int leftSel, int rightCode)
{
    ListEditResult r;
    const int n = static_cast<int>(left.size());
    const bool hasLeft = leftSel >= 0 && leftSel < n;
    r.selection = hasLeft ? leftSel : -1;
    const auto insertAt = [&](int code) {
        if (n >= kListCapacity)
            return;
        const int at = hasLeft ? leftSel : n;
        left.insert(left.begin() + at, code);
        r.changed = true;
        // The selection stays on the entry it was on, so further insertions
        // go above it in the order they are made.
        r.selection = hasLeft ? leftSel + 1 : -1;
    };
    switch (op) {
    case ListOp::Insert:
        if (rightCode >= 0)
            insertAt(rightCode);
        break;
    case ListOp::Blank: insertAt(kSpacerCode); break;
    case ListOp::Replace:
        if (hasLeft && rightCode >= 0 && left[static_cast<std::size_t>(leftSel)] != rightCode) {
            left[static_cast<std::size_t>(leftSel)] = rightCode;
            r.changed = true;
        }
        break;
    case ListOp::Delete:
        if (hasLeft) {
            left.erase(left.begin() + leftSel);
            r.changed = true;
            r.selection = left.empty() ? -1 : std::min(leftSel, static_cast<int>(left.size()) - 1);
        }
        break;
    case ListOp::Clear:
        r.changed = !left.empty();
        left.clear();
        r.selection = -1;
        break;
    }
    return r;
}

RegisterResult registerMasterFile(std::vector<std::string>& files, const std::string& path)
{
    const std::string p = trimBlanks(path);
    if (p.empty())
        return RegisterResult::Ignored;
    const auto it = std::find(files.begin(), files.end(), p);
    if (it != files.end()) {
        files.erase(it);
        return RegisterResult::Removed;
    }
    files.insert(files.begin(), p);
    if (files.size() > 8)
        files.resize(8);
    return RegisterResult::Added;
}

std::vector<std::string> fixedWidthEntries(const std::string& text, std::size_t width)
{
    std::vector<std::string> out;
    if (width == 0)
        return out;
    for (std::size_t pos = 0; pos < text.size(); pos += width) {
        std::string e = trimBlanks(text.substr(pos, width));
        if (e.empty())
            break;
        out.push_back(std::move(e));
    }
    return out;
}

}  // namespace varenta
