#include "run_state.h"

RunState Run = {};

const PageFrame& CurrentPageFrame() {
    static PageFrame frame;
    frame = PageFrame{Run.Settings.ApplicationTitle, Run.LeftPicturePath, Run.TopPicturePath,
                      Run.TitleFont};
    return frame;
}
