#include "Platform/Foundation/Coding/CodingErrors.h"

namespace qor::platform {

namespace {

std::string joinPath(const std::vector<std::string>& components) {
    std::string text;
    for (const auto& component : components) {
        if (!text.empty()) text += '.';
        text += component;
    }
    return text;
}

std::string makeMessage(const char* kind, const std::vector<std::string>& path, const std::string& description) {
    std::string message = kind;
    if (!path.empty()) message += " at " + joinPath(path);
    message += ": " + description;
    return message;
}

}  // namespace

std::vector<std::string> CodingPath::components() const {
    std::vector<std::string> result;
    for (const CodingPath* link = this; link != nullptr && link->kind_ != Kind::root; link = link->parent_) {
        result.push_back(link->kind_ == Kind::key ? std::string(link->key_) : "Index " + std::to_string(link->index_));
    }
    return {result.rbegin(), result.rend()};
}

const char* decodingErrorKindName(DecodingError::Kind kind) {
    switch (kind) {
        case DecodingError::Kind::keyNotFound:
            return "keyNotFound";
        case DecodingError::Kind::valueNotFound:
            return "valueNotFound";
        case DecodingError::Kind::typeMismatch:
            return "typeMismatch";
        case DecodingError::Kind::dataCorrupted:
            return "dataCorrupted";
    }
    return "dataCorrupted";
}

DecodingError::DecodingError(Kind kind, std::vector<std::string> codingPath, std::string debugDescription)
    : kind(kind), codingPath(std::move(codingPath)), debugDescription(std::move(debugDescription)) {
    message_ = makeMessage(decodingErrorKindName(kind), this->codingPath, this->debugDescription);
}

std::string DecodingError::localizedDescription() const {
    if (kind == Kind::keyNotFound || kind == Kind::valueNotFound) {
        return "The data couldn\u2019t be read because it is missing.";
    }
    return "The data couldn\u2019t be read because it isn\u2019t in the correct format.";
}

EncodingError::EncodingError(std::vector<std::string> codingPath, std::string debugDescription)
    : codingPath(std::move(codingPath)), debugDescription(std::move(debugDescription)) {
    message_ = makeMessage("invalidValue", this->codingPath, this->debugDescription);
}

std::string EncodingError::localizedDescription() const {
    return "The data couldn\u2019t be written because it isn\u2019t in the correct format.";
}

}  // namespace qor::platform
