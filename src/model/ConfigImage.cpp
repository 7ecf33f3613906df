#include "ConfigImage.h"

#include <algorithm>

void TTplCfg::Load(const ConfigRecords &records)
{
    Count = int32_t(std::min<std::size_t>(records.size(), kCfgMaxRecords));
    for (int32_t i = 0; i < Count; ++i) Records[std::size_t(i)] = records[std::size_t(i)];
}

bool TTplCfg::Find(std::string_view code, uint8_t &value) const
{
    code = code.substr(0, 4);
    for (int32_t i = 0; i < Count; ++i) {
        const std::string &record = Records[std::size_t(i)];
        if (record.size() >= 4 && std::string_view(record).substr(0, 3) == code) {
            value = uint8_t(record[3]);
            return true;
        }
    }
    return false;
}
