#include "report/ScoreTableTexts.h"

#include "runtime/Cp932.h"

namespace morvane {

const std::string& ScoreTablesTitle() {
    static const std::string text = Cp932FromUtf8("被験者内要因：Ａ、Ｂ");
    return text;
}

const std::string& LevelHeadingOpen() {
    static const std::string text = Cp932FromUtf8("要因Ａ＜");
    return text;
}

const std::string& LevelHeadingClose() {
    static const std::string text = Cp932FromUtf8("＞");
    return text;
}

std::string LevelHeading(std::string_view levelName) {
    std::string heading = LevelHeadingOpen();
    heading.append(levelName);
    heading.append(LevelHeadingClose());
    return heading;
}

}  // namespace morvane
