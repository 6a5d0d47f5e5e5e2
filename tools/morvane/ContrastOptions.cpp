#include "ContrastOptions.h"

#include "output/AnalysisOptionWords.h"

namespace morvane::tool {

void ReadFollowUpOptions(const Arguments& arguments, anova::Options& options) {
    try {
        AnalysisOptionReader reader(options);
        for (const Option& option : arguments.Options())
            if (option.name != "--observed")
                reader.Read(option.name, option.value);  // the CSV's reading takes it
        reader.Finish();
    } catch (const OptionValueError& e) {
        throw UsageError(e.what());
    }
}

void CheckContrastsFit(const DesignData& design, const anova::Options& options) {
    if (const std::string why = anova::ContrastsRefused(design, options); !why.empty()) throw UsageError(why);
    if (const std::string why = anova::CellsRefused(design, options); !why.empty()) throw UsageError(why);
}

}  // namespace morvane::tool
