#include "sim/SimFaultPattern.h"

#include <algorithm>
#include <charconv>

namespace kv {

SimFaultPattern SimFaultPattern::Rate(double share) {
    SimFaultPattern p;
    p.rate_ = std::clamp(share, 0.0, 1.0);
    return p;
}

SimFaultPattern SimFaultPattern::Sequence(std::vector<uint32_t> ordinals) {
    SimFaultPattern p;
    std::sort(ordinals.begin(), ordinals.end());
    p.ordinals_ = std::move(ordinals);
    return p;
}

bool SimFaultPattern::Parse(const std::string& text, SimFaultPattern& out, std::string& error) {
    if (text == "off" || text == "none") {
        out = Never();
        return true;
    }
    if (text == "all" || text == "always") {
        out = Always();
        return true;
    }
    if (text.rfind("rate:", 0) == 0) {
        const std::string num = text.substr(5);
        double v = 0;
        const auto [ptr, ec] = std::from_chars(num.data(), num.data() + num.size(), v);
        if (ec != std::errc() || ptr != num.data() + num.size() ||
            !(v >= 0.0 && v <= 1.0)) {  // NaN is no share
            error = "rate must be a number from 0 to 1: '" + num + "'";
            return false;
        }
        out = Rate(v);
        return true;
    }
    if (text.rfind("seq:", 0) == 0) {
        std::vector<uint32_t> ordinals;
        const std::string list = text.substr(4);
        std::size_t pos = 0;
        while (pos <= list.size()) {
            const std::size_t comma = std::min(list.find(',', pos), list.size());
            const std::string item = list.substr(pos, comma - pos);
            uint32_t n = 0;
            const auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), n);
            if (item.empty() || ec != std::errc() || ptr != item.data() + item.size() || n == 0) {
                error = "sequence entries are event numbers from 1: '" + item + "'";
                return false;
            }
            ordinals.push_back(n);
            pos = comma + 1;
        }
        out = Sequence(std::move(ordinals));
        return true;
    }
    error = "fault pattern must be off, all, rate:X or seq:N,N,...: '" + text + "'";
    return false;
}

bool SimFaultPattern::Hit(std::mt19937& rng) {
    ++events_;
    if (!ordinals_.empty()) {
        return std::binary_search(ordinals_.begin(), ordinals_.end(), events_);
    }
    if (rate_ <= 0.0) {
        return false;
    }
    if (rate_ >= 1.0) {
        return true;
    }
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < rate_;
}

}  // namespace kv
