#include "gif/RefinedQuantizer.h"

#include "framework/core/Parallel.h"
#include "gif/GIFException.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

// Refinement ends when a pass lowers the error by less than this share of it; later
// passes would add a few hundredths of a decibel at most.
constexpr double SettledShare = 2e-4;
constexpr int MaxPasses = 100;
// Points are assigned in fixed chunks, so the sums come out the same for any number of
// threads; at most MaxChunks keep the per-chunk cluster sums small.
constexpr size_t MinChunkPoints = 4096;
constexpr size_t MaxChunks = 64;

using Vec = std::array<double, 3>;

double distance2(const Vec& a, const Vec& b)
{
    const double r = a[0] - b[0], g = a[1] - b[1], bl = a[2] - b[2];
    return r * r + g * g + bl * bl;
}

// Integer sums over a set of pixels, exact whatever order they were added in.
struct Moments {
    int64_t weight = 0;
    std::array<int64_t, 3> sum{};
    int64_t squares = 0; // of every channel, weighted
    int64_t points = 0;  // how many points of the histogram were added

    void add(const Moments& o)
    {
        weight += o.weight;
        for (size_t k = 0; k < 3; ++k)
            sum[k] += o.sum[k];
        squares += o.squares;
        points += o.points;
    }
    void remove(const Moments& o)
    {
        weight -= o.weight;
        for (size_t k = 0; k < 3; ++k)
            sum[k] -= o.sum[k];
        squares -= o.squares;
        points -= o.points;
    }
    Moments operator-(const Moments& o) const
    {
        Moments m = *this;
        m.remove(o);
        return m;
    }
    Vec mean() const
    {
        const double w = double(weight);
        return {double(sum[0]) / w, double(sum[1]) / w, double(sum[2]) / w};
    }
    // The squared error of the set around its mean.
    double spread() const
    {
        if (weight == 0)
            return 0;
        const double s0 = double(sum[0]), s1 = double(sum[1]), s2 = double(sum[2]);
        return std::max(0.0, double(squares) - (s0 * s0 + s1 * s1 + s2 * s2) / double(weight));
    }
};

uint8_t rounded(double v)
{
    return uint8_t(std::clamp(v + 0.5, 0.0, 255.0));
}

// A colour of the histogram, or the colours of one grid cell taken together.
struct Point {
    Moments moments;  // points 1
    Vec at;           // the mean
    double spread;    // the squared error around the mean
    uint8_t level[3]; // the mean rounded, channel by channel

    // The squared error of its pixels served by the colour c.
    double errorAt(const Vec& c) const { return spread + double(moments.weight) * distance2(at, c); }
};

// Large histograms are refined in cells of a grid, the finest one whose cells hold at most
// this many points: cells of 2 x 2 x 2 colours keep almost every photo's result within a
// few hundredths of a decibel while passes get several times faster.
constexpr size_t MaxPoints = 65536;
constexpr int CoarsestGrid = 4;

uint32_t cellOf(uint32_t rgb, int bits)
{
    const int shift = 8 - bits;
    return ((rgb >> 16 >> shift) << (2 * bits)) | (((rgb >> 8 & 0xFF) >> shift) << bits) | ((rgb & 0xFF) >> shift);
}

std::vector<Point> pointsOf(std::span<const ColorCount> histogram)
{
    int bits = 8;
    if (histogram.size() > MaxPoints) {
        std::vector<bool> seen;
        for (bits = 7; bits > CoarsestGrid; --bits) {
            seen.assign(size_t{1} << (3 * bits), false);
            size_t cells = 0;
            for (const ColorCount& c : histogram) {
                const uint32_t cell = cellOf(c.rgb, bits);
                cells += !seen[cell];
                seen[cell] = true;
            }
            if (cells <= MaxPoints)
                break;
        }
    }
    // At 8 bits every colour is its own cell, and the histogram is in cell order already.
    std::vector<uint64_t> order(histogram.size());
    for (size_t i = 0; i < histogram.size(); ++i)
        order[i] = uint64_t{cellOf(histogram[i].rgb, bits)} << 32 | i;
    if (bits < 8)
        std::sort(order.begin(), order.end());
    std::vector<Point> points;
    for (size_t n = 0; n < order.size();) {
        Moments m;
        const uint32_t cell = uint32_t(order[n] >> 32);
        for (; n < order.size() && uint32_t(order[n] >> 32) == cell; ++n) {
            const ColorCount& c = histogram[size_t(order[n] & 0xFFFFFFFF)];
            const int64_t w = c.count;
            const int64_t rgb[3] = {c.rgb >> 16, c.rgb >> 8 & 0xFF, c.rgb & 0xFF};
            m.weight += w;
            for (size_t k = 0; k < 3; ++k) {
                m.sum[k] += w * rgb[k];
                m.squares += w * rgb[k] * rgb[k];
            }
        }
        m.points = 1;
        const Vec at = m.mean();
        points.push_back({m, at, m.spread(), {rounded(at[0]), rounded(at[1]), rounded(at[2])}});
    }
    return points;
}

// The median cut: the box of colours with the largest error is split where the two
// halves have the least error together, along whichever channel does that best.
// Reorders the points box by box; each box's index goes to its points in box.
std::vector<Vec> cutInitialCentres(std::vector<Point>& points, int count, std::vector<uint8_t>& box)
{
    struct Box {
        size_t begin, end;
        Moments moments;
        double spread;
    };
    Moments all;
    for (const Point& p : points)
        all.add(p.moments);
    std::vector<Box> boxes{{0, points.size(), all, all.spread()}};
    std::array<std::array<Moments, 256>, 3> buckets{};
    while (boxes.size() < size_t(count)) {
        // Boxes of one point cannot split.
        Box* widest = nullptr;
        for (Box& candidate : boxes)
            if (candidate.end - candidate.begin > 1 && candidate.spread >= 0 &&
                (!widest || candidate.spread > widest->spread))
                widest = &candidate;
        if (!widest)
            break;
        std::array<int, 3> lowest{255, 255, 255}, highest{0, 0, 0};
        for (size_t i = widest->begin; i < widest->end; ++i)
            for (size_t axis = 0; axis < 3; ++axis) {
                const int value = points[i].level[axis];
                buckets[axis][size_t(value)].add(points[i].moments);
                lowest[axis] = std::min(lowest[axis], value);
                highest[axis] = std::max(highest[axis], value);
            }
        double bestCost = std::numeric_limits<double>::infinity();
        size_t bestAxis = 0;
        int bestValue = 0;
        Moments bestLow;
        for (size_t axis = 0; axis < 3; ++axis) {
            Moments low;
            for (int value = lowest[axis]; value < highest[axis]; ++value) {
                low.add(buckets[axis][size_t(value)]);
                if (low.points == 0)
                    continue;
                const double cost = low.spread() + (widest->moments - low).spread();
                if (cost < bestCost) {
                    bestCost = cost;
                    bestAxis = axis;
                    bestValue = value;
                    bestLow = low;
                }
            }
            std::fill(buckets[axis].begin() + lowest[axis], buckets[axis].begin() + highest[axis] + 1, Moments{});
        }
        // Points of one box may share every level when a coarse grid rounds them alike.
        if (!std::isfinite(bestCost)) {
            widest->spread = -1;
            continue;
        }
        const auto first = points.begin() + ptrdiff_t(widest->begin);
        const auto middle = std::partition(first, points.begin() + ptrdiff_t(widest->end),
                                           [&](const Point& p) { return p.level[bestAxis] <= bestValue; });
        const Moments high = widest->moments - bestLow;
        const Box upper{size_t(middle - points.begin()), widest->end, high, high.spread()};
        *widest = {widest->begin, upper.begin, bestLow, bestLow.spread()};
        boxes.push_back(upper);
    }
    std::vector<Vec> centres;
    box.resize(points.size());
    for (const Box& b : boxes) {
        std::fill(box.begin() + ptrdiff_t(b.begin), box.begin() + ptrdiff_t(b.end), uint8_t(centres.size()));
        centres.push_back(b.moments.mean());
    }
    return centres;
}

struct NearestTwo {
    size_t index = 0;
    double nearest = 0; // squared distances
    double second = 0;
};

// Each centre's nearest other centres, nearest first, with the largest move any of the
// first n of them made in the last recentring. A point at distance d from its centre can
// only be nearer to a centre less than 2d from that one: a search that starts from the
// point's own centre ends after a few of them, and only their moves can have brought one
// nearer.
class NeighbourLists {
public:
    explicit NeighbourLists(size_t count)
        : m_count(count), m_others(count - 1), m_listed(std::min(Listed, m_others)), m_order(count * m_others),
          m_apart2(count * m_listed), m_movedSoFar(m_apart2.size()), m_distances(count * count)
    {
        for (size_t k = 0; k < count; ++k)
            for (size_t j = 0, n = 0; j < count; ++j)
                if (j != k)
                    m_order[k * m_others + n++] = uint8_t(j);
    }

    // Lists the neighbours at the centres' new places; drift is how far each moved. Each
    // centre's order of the pass before is nearly right: its head is sorted again, and
    // any centre of the rest nearer than the head's last takes that one's place.
    void Update(const std::vector<Vec>& centres, const std::vector<double>& drift)
    {
        m_farthest = *std::max_element(drift.begin(), drift.end());
        for (size_t k = 0; k < m_count; ++k)
            for (size_t j = k + 1; j < m_count; ++j)
                m_distances[k * m_count + j] = m_distances[j * m_count + k] = distance2(centres[k], centres[j]);
        for (size_t k = 0; k < m_count; ++k) {
            uint8_t* order = m_order.data() + k * m_others;
            const double* distance = m_distances.data() + k * m_count;
            const auto insertIntoHead = [&](size_t from, uint8_t moving) {
                size_t at = from;
                for (; at > 0 && distance[order[at - 1]] > distance[moving]; --at)
                    order[at] = order[at - 1];
                order[at] = moving;
            };
            for (size_t n = 1; n < m_listed; ++n)
                insertIntoHead(n, order[n]);
            for (size_t n = m_listed; n < m_others; ++n)
                if (distance[order[n]] < distance[order[m_listed - 1]]) {
                    const uint8_t moving = order[n];
                    order[n] = order[m_listed - 1];
                    insertIntoHead(m_listed - 1, moving);
                }
            double moved = 0;
            for (size_t n = 0; n < m_listed; ++n) {
                m_apart2[k * m_listed + n] = distance[order[n]];
                moved = std::max(moved, drift[order[n]]);
                m_movedSoFar[k * m_listed + n] = moved;
            }
        }
    }

    // A lower bound on the distance from a point to every centre but its own, where the
    // point lies at distance from it and lowerBefore bounded those distances before the
    // centres moved.
    double LowerBound(size_t centre, double distance, double lowerBefore) const
    {
        const double* apart2 = m_apart2.data() + centre * m_listed;
        const double reach2 = 4 * distance * distance;
        size_t near = 0;
        while (near < m_listed && apart2[near] < reach2)
            ++near;
        if (near == m_listed && m_listed < m_others)
            return lowerBefore - m_farthest; // unlisted centres may be near as well
        // Centres 2d or more from the point's own are at least their distance minus d away.
        const double beyond =
            near < m_listed ? std::sqrt(apart2[near]) - distance : std::numeric_limits<double>::infinity();
        const double moved = near > 0 ? lowerBefore - m_movedSoFar[centre * m_listed + near - 1]
                                      : std::numeric_limits<double>::infinity();
        return std::min(beyond, moved);
    }

    // The nearest centre to x, given its squared distance to centre, and a lower bound on
    // the squared distance to every other.
    NearestTwo Search(const Vec& x, size_t centre, double distanceToCentre2, const std::vector<Vec>& centres) const
    {
        const double distance = std::sqrt(distanceToCentre2);
        double reach = 2 * distance;
        NearestTwo found{centre, distanceToCentre2, std::numeric_limits<double>::infinity()};
        const auto consider = [&](size_t k) {
            const double d = distance2(x, centres[k]);
            if (d < found.nearest) {
                found.second = found.nearest;
                found.nearest = d;
                found.index = k;
                reach = distance + std::sqrt(d);
            } else if (d < found.second) {
                found.second = d;
            }
        };
        for (size_t n = 0; n < m_listed; ++n) {
            const double apart2 = m_apart2[centre * m_listed + n];
            if (apart2 >= reach * reach) {
                // Every centre not yet seen is at least apart - distance from x.
                const double beyond = std::sqrt(apart2) - distance;
                found.second = std::min(found.second, beyond * beyond);
                return found;
            }
            consider(m_order[centre * m_others + n]);
        }
        // Every listed centre is near enough; the rest decide too.
        for (size_t n = m_listed; n < m_others; ++n)
            consider(m_order[centre * m_others + n]);
        return found;
    }

private:
    static constexpr size_t Listed = 32;

    size_t m_count;
    size_t m_others;
    size_t m_listed;
    std::vector<uint8_t> m_order; // of every other centre, the nearest m_listed first
    std::vector<double> m_apart2; // squared distances of the listed, in order
    std::vector<double> m_movedSoFar;
    double m_farthest = 0;           // the largest move of any centre
    std::vector<double> m_distances; // squared, between every two centres
};

// Lloyd's passes over the points. Each point keeps a lower bound on its distance to every
// centre but its own, loosened each pass by the moves of the centres near enough to
// matter; while its own centre is no farther than that, it cannot have a nearer one and
// is not searched again. Cluster sums change only by the points that moved.
class Refinement {
public:
    // A first guess of each point's centre (empty for none) shortens the first search.
    Refinement(std::vector<Point> points, std::vector<Vec> centres, std::vector<uint8_t> guess, int threads)
        : m_points(std::move(points)), m_centres(std::move(centres)), m_threads(threads), m_assigned(std::move(guess)),
          m_lower(m_points.size()), m_clusters(m_centres.size()), m_neighbours(m_centres.size())
    {
        m_chunkSize = std::max(MinChunkPoints, (m_points.size() + MaxChunks - 1) / MaxChunks);
        m_chunkCount = (m_points.size() + m_chunkSize - 1) / m_chunkSize;
        m_chunkMoments.resize(m_chunkCount * m_centres.size());
        m_chunkErrors.resize(m_chunkCount);
        m_assigned.resize(m_points.size());
    }

    void Run(std::vector<double>& errors)
    {
        std::vector<double> drift(m_centres.size());
        assign(drift, true);
        errors.push_back(m_error);
        for (int pass = 0; pass < MaxPasses && m_error > 0; ++pass) {
            const double previous = m_error;
            recentre(drift);
            assign(drift, false);
            errors.push_back(m_error);
            if (previous - m_error <= SettledShare * previous)
                break;
        }
    }

    // The centres rounded to colours; a centre that duplicates an earlier one, or has no
    // points, gives way to the worst-served point's colour not yet in the palette.
    std::vector<TPaletteEntry> Palette() const
    {
        std::vector<TPaletteEntry> entries;
        std::vector<uint32_t> taken;
        auto packed = [](const TPaletteEntry& e) { return PackRgb(e.peRed, e.peGreen, e.peBlue); };
        int missing = 0;
        for (size_t k = 0; k < m_centres.size(); ++k) {
            TPaletteEntry e;
            e.peRed = rounded(m_centres[k][0]);
            e.peGreen = rounded(m_centres[k][1]);
            e.peBlue = rounded(m_centres[k][2]);
            if (m_clusters[k].weight == 0 || std::find(taken.begin(), taken.end(), packed(e)) != taken.end()) {
                ++missing;
                continue;
            }
            taken.push_back(packed(e));
            entries.push_back(e);
        }
        if (missing == 0)
            return entries;
        std::vector<double> errors(m_points.size());
        for (size_t i = 0; i < m_points.size(); ++i) {
            const Vec c = m_centres[m_assigned[i]];
            errors[i] = m_points[i].errorAt({double(rounded(c[0])), double(rounded(c[1])), double(rounded(c[2]))});
        }
        for (size_t i : worstFirst(errors)) {
            if (missing == 0)
                break;
            const Vec& at = m_points[i].at;
            const TPaletteEntry e{rounded(at[0]), rounded(at[1]), rounded(at[2]), 0};
            if (std::find(taken.begin(), taken.end(), packed(e)) != taken.end())
                continue;
            taken.push_back(packed(e));
            entries.push_back(e);
            --missing;
        }
        return entries;
    }

private:
    // Indices of the points by decreasing error, the lower index first among equals.
    static std::vector<size_t> worstFirst(const std::vector<double>& errors)
    {
        std::vector<size_t> order(errors.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return errors[a] > errors[b]; });
        return order;
    }

    // Moves each point to its nearest centre, searching from its present one (a guess, the
    // first time): every point the first time, later only those whose bounds no longer
    // hold after the centres moved by drift.
    void assign(const std::vector<double>& drift, bool first)
    {
        m_neighbours.Update(m_centres, drift);
        const size_t centreCount = m_centres.size();
        ParallelFor(int(m_chunkCount), m_threads, [&](int chunk) {
            Moments* moved = &m_chunkMoments[size_t(chunk) * centreCount];
            std::fill(moved, moved + centreCount, Moments{});
            double error = 0;
            const size_t end = std::min(m_points.size(), (size_t(chunk) + 1) * m_chunkSize);
            for (size_t i = size_t(chunk) * m_chunkSize; i < end; ++i) {
                const Point& point = m_points[i];
                const size_t present = m_assigned[i];
                const double present2 = distance2(point.at, m_centres[present]);
                if (!first) {
                    const double distance = std::sqrt(present2);
                    m_lower[i] = m_neighbours.LowerBound(present, distance, m_lower[i]);
                    if (distance <= m_lower[i]) {
                        error += point.spread + double(point.moments.weight) * present2;
                        continue;
                    }
                }
                const NearestTwo found = m_neighbours.Search(point.at, present, present2, m_centres);
                m_lower[i] = std::sqrt(found.second);
                error += point.spread + double(point.moments.weight) * found.nearest;
                if (first || found.index != present) {
                    if (!first)
                        moved[present].remove(point.moments);
                    moved[found.index].add(point.moments);
                    m_assigned[i] = uint8_t(found.index);
                }
            }
            m_chunkErrors[size_t(chunk)] = error;
        });
        if (first)
            std::fill(m_clusters.begin(), m_clusters.end(), Moments{});
        m_error = 0;
        for (size_t chunk = 0; chunk < m_chunkCount; ++chunk) {
            for (size_t k = 0; k < centreCount; ++k)
                m_clusters[k].add(m_chunkMoments[chunk * centreCount + k]);
            m_error += m_chunkErrors[chunk];
        }
    }

    // Every centre to the mean of its points, after empty ones take the worst-served
    // points of clusters that can spare them; drift receives how far each moved.
    void recentre(std::vector<double>& drift)
    {
        std::vector<size_t> empty;
        for (size_t k = 0; k < m_centres.size(); ++k)
            if (m_clusters[k].weight == 0)
                empty.push_back(k);
        if (!empty.empty())
            reseed(empty);
        for (size_t k = 0; k < m_centres.size(); ++k) {
            if (m_clusters[k].weight == 0) {
                drift[k] = 0;
                continue;
            }
            const Vec moved = m_clusters[k].mean();
            drift[k] = std::sqrt(distance2(moved, m_centres[k]));
            m_centres[k] = moved;
        }
    }

    void reseed(const std::vector<size_t>& empty)
    {
        std::vector<double> errors(m_points.size());
        for (size_t i = 0; i < m_points.size(); ++i)
            errors[i] = double(m_points[i].moments.weight) * distance2(m_points[i].at, m_centres[m_assigned[i]]);
        size_t next = 0;
        const std::vector<size_t> order = worstFirst(errors);
        for (size_t k : empty) {
            while (next < order.size() && (errors[order[next]] == 0 || m_clusters[m_assigned[order[next]]].points < 2))
                ++next;
            if (next == order.size())
                return;
            const size_t i = order[next++];
            m_clusters[m_assigned[i]].remove(m_points[i].moments);
            m_clusters[k].add(m_points[i].moments);
            m_assigned[i] = uint8_t(k);
            // A lower bound of 0 has it searched again next pass.
            m_lower[i] = 0;
        }
    }

    std::vector<Point> m_points;
    std::vector<Vec> m_centres;
    int m_threads;
    std::vector<uint8_t> m_assigned;
    std::vector<double> m_lower;
    std::vector<Moments> m_clusters;
    size_t m_chunkSize = 0;
    size_t m_chunkCount = 0;
    // Per chunk: what the points that moved took from or brought to each cluster.
    std::vector<Moments> m_chunkMoments;
    std::vector<double> m_chunkErrors;
    double m_error = 0;
    NeighbourLists m_neighbours;
};

} // namespace

RefinedPalette RefineColors(std::span<const ColorCount> histogram, int colorCount, int threads,
                            std::span<const TPaletteEntry> seed)
{
    if (colorCount < 1 || colorCount > 256 || seed.size() > size_t(colorCount))
        RaiseGIFError(GIFText::QuantizerColorCount);
    RefinedPalette result;
    if (histogram.empty())
        return result;
    std::vector<Point> points = pointsOf(histogram);
    std::vector<Vec> centres;
    std::vector<uint8_t> box;
    if (seed.empty()) {
        centres = cutInitialCentres(points, colorCount, box);
    } else {
        for (const TPaletteEntry& e : seed)
            centres.push_back({double(e.peRed), double(e.peGreen), double(e.peBlue)});
    }
    Refinement refinement(std::move(points), std::move(centres), std::move(box), std::max(1, threads));
    refinement.Run(result.errors);
    result.entries = refinement.Palette();
    return result;
}

std::unique_ptr<TPalette> CreateRefinedPalette(const PixelRows& rows, int colorCount, int threads)
{
    const std::vector<ColorCount> histogram = CountColors(rows, threads);
    RefinedPalette refined = RefineColors(histogram, colorCount, threads);
    if (refined.entries.empty())
        return nullptr;
    return std::make_unique<TPalette>(std::move(refined.entries));
}
