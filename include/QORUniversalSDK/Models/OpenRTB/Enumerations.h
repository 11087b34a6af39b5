#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include <QORUniversalSDK/Models/OpenRTB/OpenRTBCoding.h>

// The OpenRTB code lists shared by banners, videos, audios, natives and bids. Each is a closed
// set: a number without a case fails the record that holds it, also as one element of a list.
namespace qor {

enum class PlaybackMethod : std::int64_t {
    pageLoadSoundOn = 1,
    pageLoadSoundOff = 2,
    onClickSoundOn = 3,
    mouseOverSoundOn = 4,
    enterViewportSoundOn = 5,
    enterViewportSoundOff = 6,
};

enum class ApiFramework : std::int64_t {
    vpaid1 = 1,
    vpaid2 = 2,
    mraid1 = 3,
    ormma = 4,
    mraid2 = 5,
    mraid3 = 6,
};

enum class CreativeAttribute : std::int64_t {
    audioADAutoPlay = 1,
    audioADUserInitiated = 2,
    expandableAutomatic = 3,
    expandableUserClicked = 4,
    expandaableUserRollOver = 5,
    videoADInBannerAutoPlay = 6,
    videoADInBannerUserInitiated = 7,
    pop = 8,
    provocativeOrSuggestiveImagery = 9,
    animation = 10,
    surveys = 11,
    textOnly = 12,
    userInteractive = 13,
    alertStyle = 14,
    hasAudioOnOffButton = 15,
    provideSkipButton = 16,
    adobeFlash = 17,
};

enum class VideoProtocol : std::int64_t {
    vast1 = 1,
    vast2 = 2,
    vast3 = 3,
    vast1Wrapper = 4,
    vast2Wrapper = 5,
    vast3Wrapper = 6,
    vast4 = 7,
    vast4Wrapper = 8,
    daast1 = 9,
    daast1Wrapper = 10,
};

enum class DeliveryMethod : std::int64_t {
    streaming = 1,
    progressive = 2,
    download = 3,
};

// Numbered from 0, unlike the published list that starts at 1: the ad network reads 0 as a
// static resource. `static` is a C++ keyword, hence the trailing underscore.
enum class CompanionType : std::int64_t {
    static_ = 0,
    html = 1,
    iframe = 2,
};

enum class ExpandableDirection : std::int64_t {
    left = 1,
    right = 2,
    up = 3,
    down = 4,
    fullscreen = 5,
};

enum class VideoCompanion : std::int64_t {
    concurrent = 0,
    endCard = 1,
};

}  // namespace qor

template <>
struct qor::platform::EnumRawValues<qor::PlaybackMethod> {
    using E = qor::PlaybackMethod;
    static constexpr std::array cases{
        std::pair{E::pageLoadSoundOn, std::int64_t{1}},      std::pair{E::pageLoadSoundOff, std::int64_t{2}},
        std::pair{E::onClickSoundOn, std::int64_t{3}},       std::pair{E::mouseOverSoundOn, std::int64_t{4}},
        std::pair{E::enterViewportSoundOn, std::int64_t{5}}, std::pair{E::enterViewportSoundOff, std::int64_t{6}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::ApiFramework> {
    using E = qor::ApiFramework;
    static constexpr std::array cases{
        std::pair{E::vpaid1, std::int64_t{1}}, std::pair{E::vpaid2, std::int64_t{2}},
        std::pair{E::mraid1, std::int64_t{3}}, std::pair{E::ormma, std::int64_t{4}},
        std::pair{E::mraid2, std::int64_t{5}}, std::pair{E::mraid3, std::int64_t{6}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::CreativeAttribute> {
    using E = qor::CreativeAttribute;
    static constexpr std::array cases{
        std::pair{E::audioADAutoPlay, std::int64_t{1}},
        std::pair{E::audioADUserInitiated, std::int64_t{2}},
        std::pair{E::expandableAutomatic, std::int64_t{3}},
        std::pair{E::expandableUserClicked, std::int64_t{4}},
        std::pair{E::expandaableUserRollOver, std::int64_t{5}},
        std::pair{E::videoADInBannerAutoPlay, std::int64_t{6}},
        std::pair{E::videoADInBannerUserInitiated, std::int64_t{7}},
        std::pair{E::pop, std::int64_t{8}},
        std::pair{E::provocativeOrSuggestiveImagery, std::int64_t{9}},
        std::pair{E::animation, std::int64_t{10}},
        std::pair{E::surveys, std::int64_t{11}},
        std::pair{E::textOnly, std::int64_t{12}},
        std::pair{E::userInteractive, std::int64_t{13}},
        std::pair{E::alertStyle, std::int64_t{14}},
        std::pair{E::hasAudioOnOffButton, std::int64_t{15}},
        std::pair{E::provideSkipButton, std::int64_t{16}},
        std::pair{E::adobeFlash, std::int64_t{17}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::VideoProtocol> {
    using E = qor::VideoProtocol;
    static constexpr std::array cases{
        std::pair{E::vast1, std::int64_t{1}},        std::pair{E::vast2, std::int64_t{2}},
        std::pair{E::vast3, std::int64_t{3}},        std::pair{E::vast1Wrapper, std::int64_t{4}},
        std::pair{E::vast2Wrapper, std::int64_t{5}}, std::pair{E::vast3Wrapper, std::int64_t{6}},
        std::pair{E::vast4, std::int64_t{7}},        std::pair{E::vast4Wrapper, std::int64_t{8}},
        std::pair{E::daast1, std::int64_t{9}},       std::pair{E::daast1Wrapper, std::int64_t{10}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::DeliveryMethod> {
    using E = qor::DeliveryMethod;
    static constexpr std::array cases{
        std::pair{E::streaming, std::int64_t{1}},
        std::pair{E::progressive, std::int64_t{2}},
        std::pair{E::download, std::int64_t{3}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::CompanionType> {
    using E = qor::CompanionType;
    static constexpr std::array cases{
        std::pair{E::static_, std::int64_t{0}},
        std::pair{E::html, std::int64_t{1}},
        std::pair{E::iframe, std::int64_t{2}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::ExpandableDirection> {
    using E = qor::ExpandableDirection;
    static constexpr std::array cases{
        std::pair{E::left, std::int64_t{1}},       std::pair{E::right, std::int64_t{2}},
        std::pair{E::up, std::int64_t{3}},         std::pair{E::down, std::int64_t{4}},
        std::pair{E::fullscreen, std::int64_t{5}},
    };
};

template <>
struct qor::platform::EnumRawValues<qor::VideoCompanion> {
    using E = qor::VideoCompanion;
    static constexpr std::array cases{
        std::pair{E::concurrent, std::int64_t{0}},
        std::pair{E::endCard, std::int64_t{1}},
    };
};
