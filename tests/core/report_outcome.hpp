#pragma once
// The outcome of a report step as the dialog tells them apart: the returned message, or the
// class and text of what it raised.
#include "report/post_report.hpp"

#include <boost/property_tree/json_parser/error.hpp>
#include <boost/property_tree/ptree.hpp>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <typeinfo>

struct Outcome {
    std::string kind; // "message" or the class raised
    std::string text; // the message, or what()

    bool operator==(const Outcome& other) const { return kind == other.kind && text == other.text; }
};

inline std::ostream& operator<<(std::ostream& out, const Outcome& outcome)
{
    return out << outcome.kind << " \"" << outcome.text << "\"";
}

template <typename Step> Outcome OutcomeOf(Step step)
{
    namespace pt = boost::property_tree;
    try {
        return {"message", step()};
    } catch (const ReplicatedCommit& e) {
        return {"ReplicatedCommit", e.what()};
    } catch (const ServerRefusal& e) {
        return {"ServerRefusal", e.what()};
    } catch (const NetworkError& e) {
        return {"NetworkError", e.what()};
    } catch (const pt::json_parser::json_parser_error& e) {
        return {"json_parser_error", e.what()};
    } catch (const pt::ptree_bad_path& e) {
        return {"ptree_bad_path", e.what()};
    } catch (const pt::ptree_bad_data& e) {
        return {"ptree_bad_data", e.what()};
    } catch (const std::exception& e) {
        // Only the exact standard classes count; anything derived shows its own name.
        if (typeid(e) == typeid(std::runtime_error))
            return {"runtime_error", e.what()};
        return {typeid(e).name(), e.what()};
    }
}
