#include "RowsFromBytes.h"

#include <nlohmann/json.hpp>

namespace vandreth::bench {

namespace {

// Members other than the six strings of a project are skipped; the answer is one object whose
// "instances" is an array of objects.
class RowsReader : public nlohmann::json_sax<nlohmann::json> {
public:
    std::vector<ProjectRow> rows;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool string(string_t& value) override
    {
        if (depth_ == 3 && field_ != nullptr) {
            *field_ = std::move(value);
        }
        return true;
    }
    bool start_object(std::size_t) override
    {
        ++depth_;
        if (depth_ == 3 && inInstances_) {
            rows.emplace_back();
        }
        return true;
    }
    bool key(string_t& name) override
    {
        if (depth_ == 1) {
            instancesNext_ = name == "instances";
        } else if (depth_ == 3 && inInstances_) {
            field_ = fieldNamed(rows.back(), name);
        }
        return true;
    }
    bool end_object() override
    {
        --depth_;
        field_ = nullptr;
        return true;
    }
    bool start_array(std::size_t) override
    {
        ++depth_;
        inInstances_ = depth_ == 2 && instancesNext_;
        return true;
    }
    bool end_array() override
    {
        if (depth_ == 2) {
            inInstances_ = false;
        }
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    static std::string* fieldNamed(ProjectRow& row, const std::string& name)
    {
        if (name == "core_label") {
            return &row.coreLabel;
        }
        if (name == "display_name") {
            return &row.displayName;
        }
        if (name == "manage_url") {
            return &row.manageUrl;
        }
        if (name == "public_url") {
            return &row.publicUrl;
        }
        if (name == "slug") {
            return &row.slug;
        }
        return name == "status" ? &row.status : nullptr;
    }

    int depth_ = 0;
    bool instancesNext_ = false;
    bool inInstances_ = false;
    std::string* field_ = nullptr;
};

}  // namespace

std::vector<ProjectRow> rowsStraightFromBytes(const std::string& bytes)
{
    RowsReader reader;
    nlohmann::json::sax_parse(bytes, &reader);
    return std::move(reader.rows);
}

}  // namespace vandreth::bench
