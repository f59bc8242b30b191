#include "import/class_plan.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "project/control_updates.h"
#include "project/feedback.h"
#include "project/map_project.h"
#include "raster/record_division.h"

namespace plotvane::import {

namespace {

constexpr std::uint32_t kMinSide = 160;
constexpr std::uint32_t kMaxSide = 4096;
// Records besides record 0 must stay below this.
constexpr std::uint32_t kRecordLimit = 254;

// Record division speaks to the user when it is asked about a picture the
// user chose; sizes merely tried are not the user's business.
class SilentFeedback : public Feedback {
public:
    void show(const Message&) override {}
};

std::uint32_t magnificationProduct(const ClassRequest& request) {
    std::uint32_t product = 1;
    for (int k = 0; k + 1 < request.classCount; ++k)
        product *= static_cast<std::uint32_t>(request.magnifications[static_cast<std::size_t>(k)]);
    return product;
}

std::uint32_t ceilDiv(std::uint32_t a, std::uint32_t b) { return (a + b - 1) / b; }

// Each class above must divide by the magnification below it, as the
// hierarchy check asks.
bool chainDivides(std::uint32_t topSide, const ClassRequest& request) {
    std::uint64_t side = topSide;
    for (int k = 0; k + 1 < request.classCount; ++k) {
        const auto m = static_cast<std::uint32_t>(request.magnifications[static_cast<std::size_t>(k)]);
        if (side % m != 0) return false;
        side *= m;
    }
    return true;
}

// Class 1 sides from `need` up to the largest that keeps the last class
// within 4096, that the chain of magnifications divides.
std::vector<std::uint32_t> topSides(std::uint32_t need, const ClassRequest& request) {
    std::vector<std::uint32_t> sides;
    const std::uint32_t largest = kMaxSide / magnificationProduct(request);
    for (std::uint32_t s = std::max(kMinSide, need); s <= largest; ++s)
        if (chainDivides(s, request)) sides.push_back(s);
    return sides;
}

MapProject projectOf(std::uint32_t topWidth, std::uint32_t topHeight, const ClassRequest& request) {
    MapProject project;
    std::uint32_t w = topWidth;
    std::uint32_t h = topHeight;
    for (int k = 0; k < request.classCount; ++k) {
        MapClassEntry& entry = project.classes[static_cast<std::size_t>(k)];
        const std::uint32_t m = k == 0 ? 1 : static_cast<std::uint32_t>(request.magnifications[static_cast<std::size_t>(k - 1)]);
        w *= m;
        h *= m;
        entry.width = static_cast<std::uint16_t>(w);
        entry.height = static_cast<std::uint16_t>(h);
        entry.magnification = static_cast<std::uint16_t>(m);
    }
    project.classCount = request.classCount;
    return project;
}

bool topClassDivides(std::uint32_t w, std::uint32_t h, const ClassRequest& request) {
    MapProject project = projectOf(w, h, request);
    SilentFeedback silent;
    ControlUpdates updates;
    return divideRecords(project, 0, request.mode, false, silent, updates) == DivisionResult::Divided;
}

ClassPlan planOf(std::uint32_t masterWidth, std::uint32_t masterHeight, std::uint32_t reduction,
                 std::uint32_t topWidth, std::uint32_t topHeight, const ClassRequest& request) {
    MapProject project = projectOf(topWidth, topHeight, request);
    SilentFeedback silent;
    ControlUpdates updates;
    ClassPlan plan;
    plan.masterWidth = masterWidth;
    plan.masterHeight = masterHeight;
    plan.reduction = reduction;
    plan.classCount = request.classCount;
    for (int k = 0; k < request.classCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        divideRecords(project, k, request.mode, false, silent, updates);
        plan.widths[i] = project.classes[i].width;
        plan.heights[i] = project.classes[i].height;
        plan.records[i] = static_cast<std::uint32_t>(project.classes[i].recordColumns) * project.classes[i].recordRows;
        plan.totalRecords += plan.records[i];
    }
    return plan;
}

// The smallest Class 1 for this reduction that covers the master and
// divides into records, or none.
std::optional<std::pair<std::uint32_t, std::uint32_t>> smallestTop(std::uint32_t needWidth, std::uint32_t needHeight,
                                                                   const ClassRequest& request) {
    const std::vector<std::uint32_t> widths = topSides(needWidth, request);
    const std::vector<std::uint32_t> heights = topSides(needHeight, request);
    if (widths.empty() || heights.empty()) return std::nullopt;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> best;
    std::uint64_t bestArea = std::numeric_limits<std::uint64_t>::max();
    for (std::uint32_t w : widths) {
        if (std::uint64_t{w} * heights.front() >= bestArea) break;
        for (std::uint32_t h : heights) {
            if (std::uint64_t{w} * h >= bestArea) break;
            if (!topClassDivides(w, h, request)) continue;
            best = {w, h};
            bestArea = std::uint64_t{w} * h;
            break;
        }
    }
    return best;
}

// Sizes alone, without the record limit.
std::optional<ClassPlan> chooseSizes(std::uint32_t masterWidth, std::uint32_t masterHeight, const ClassRequest& request) {
    const std::uint32_t product = magnificationProduct(request);
    if (kMaxSide / product < kMinSide) return std::nullopt;
    for (std::uint32_t r = 1;; ++r) {
        const std::uint32_t needWidth = ceilDiv(ceilDiv(masterWidth, r), product);
        const std::uint32_t needHeight = ceilDiv(ceilDiv(masterHeight, r), product);
        if (const auto top = smallestTop(needWidth, needHeight, request))
            return planOf(masterWidth, masterHeight, r, top->first, top->second, request);
        // From here on a larger reduction only adds padding to the same sizes.
        if (needWidth <= kMinSide && needHeight <= kMinSide) return std::nullopt;
    }
}

bool fits(std::uint32_t masterWidth, std::uint32_t masterHeight, const ClassRequest& request) {
    const auto plan = chooseSizes(masterWidth, masterHeight, request);
    return plan && plan->totalRecords + (request.textRecord ? 1u : 0u) < kRecordLimit;
}

std::string joined(const std::vector<std::string>& words, const char* between, const char* last) {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? last : between;
        text += words[i];
    }
    return text;
}

std::string classesWord(int n) { return std::to_string(n) + (n == 1 ? " class" : " classes"); }

// What would fit instead: fewer classes in this mode, or these classes in
// another mode.
std::string alternatives(std::uint32_t masterWidth, std::uint32_t masterHeight, const ClassRequest& request) {
    std::string text;
    for (int n = request.classCount - 1; n >= 1; --n) {
        ClassRequest fewer = request;
        fewer.classCount = n;
        if (!fits(masterWidth, masterHeight, fewer)) continue;
        text += '\n';
        text += classesWord(n) + " would fit in " + modeName(request.mode) + " mode.";
        break;
    }
    std::vector<std::string> modes;
    for (const ColourMode mode : {ColourMode::Bpp1, ColourMode::Bpp2, ColourMode::Bpp4, ColourMode::Bpp8}) {
        if (mode == request.mode || (mode == ColourMode::Bpp1 && request.mode == ColourMode::Original)) continue;
        ClassRequest other = request;
        other.mode = mode;
        if (fits(masterWidth, masterHeight, other)) modes.push_back(modeName(mode));
    }
    if (!modes.empty()) {
        text += '\n';
        text += classesWord(request.classCount) + " would fit in " + joined(modes, ", ", " or ") + " mode.";
    }
    if (text.empty()) text = "\nNo fewer classes and no other colour mode would fit either.";
    return text;
}

std::string magnificationList(const ClassRequest& request) {
    std::vector<std::string> words;
    for (int k = 0; k + 1 < request.classCount; ++k)
        words.push_back(std::string(1, 'x') + std::to_string(request.magnifications[static_cast<std::size_t>(k)]));
    return joined(words, ", ", " and ");
}

std::string noSizeRefusal(std::uint32_t masterWidth, std::uint32_t masterHeight, const ClassRequest& request) {
    const std::uint32_t product = magnificationProduct(request);
    std::string text = "Error : No class sizes fit " + classesWord(request.classCount);
    if (kMaxSide / product < kMinSide) {
        text += " magnified " + magnificationList(request) + ": Class " + std::to_string(request.classCount) +
                " would be " + std::to_string(product) +
                " times as wide as Class 1, and every class must be 160 to 4096 pixels a side.";
    } else {
        text += " in " + modeName(request.mode) + " mode: at no size that covers the " + std::to_string(masterWidth) +
                " x " + std::to_string(masterHeight) + " picture can Class 1 be divided into records.";
    }
    return text + alternatives(masterWidth, masterHeight, request);
}

std::string recordRefusal(const ClassPlan& plan, const ClassRequest& request) {
    std::vector<std::string> counts;
    for (int k = 0; k < plan.classCount; ++k) counts.push_back(std::to_string(plan.records[static_cast<std::size_t>(k)]));
    const std::uint32_t needed = plan.totalRecords + (request.textRecord ? 1u : 0u);
    std::string text = "Error : " + classesWord(plan.classCount) + " of " + std::to_string(plan.widths[0]) + " x " +
                       std::to_string(plan.heights[0]) + " to " + std::to_string(plan.widths[plan.lastClass()]) +
                       " x " + std::to_string(plan.heights[plan.lastClass()]) + " pixels need " +
                       std::to_string(needed) + " records in " + modeName(request.mode) + " mode (" +
                       joined(counts, " + ", " + ") + (request.textRecord ? " + 1 for the information texts" : "") +
                       "); a map holds at most " + std::to_string(kRecordLimit - 1) + ".";
    return text + alternatives(plan.masterWidth, plan.masterHeight, request);
}

}  // namespace

std::uint32_t ClassPlan::boxSide(int classIndex) const {
    return widths[lastClass()] / widths[static_cast<std::size_t>(classIndex)] * reduction;
}

std::string modeName(ColourMode mode) {
    const char* name = colourModeName(mode);
    return name != nullptr ? name : std::to_string(colourModeByte(mode)) + "BPP";
}

std::string requestProblem(const ClassRequest& request) {
    if (request.classCount < 1 || request.classCount > kMaxClasses)
        return "the number of classes must be 1 to 4, not " + std::to_string(request.classCount);
    for (int k = 0; k + 1 < request.classCount; ++k) {
        const int m = request.magnifications[static_cast<std::size_t>(k)];
        if (m != 2 && m != 4 && m != 8)
            return "each magnification must be 2, 4 or 8, not " + std::to_string(m);
    }
    if (!isColourMode(request.mode))
        return "the colour mode must be Original, 1, 2, 4 or 8";
    return {};
}

PlanOutcome planClasses(std::uint32_t masterWidth, std::uint32_t masterHeight, const ClassRequest& request) {
    PlanOutcome outcome;
    if (masterWidth == 0 || masterHeight == 0) {
        outcome.refusal = "Error : The picture has no pixels.";
        return outcome;
    }
    const auto plan = chooseSizes(masterWidth, masterHeight, request);
    if (!plan) {
        outcome.refusal = noSizeRefusal(masterWidth, masterHeight, request);
        return outcome;
    }
    if (plan->totalRecords + (request.textRecord ? 1u : 0u) >= kRecordLimit) {
        outcome.refusal = recordRefusal(*plan, request);
        return outcome;
    }
    outcome.plan = plan;
    return outcome;
}

}  // namespace plotvane::import
