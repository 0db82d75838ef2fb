// The whole engine in one include.
#pragma once

#include "ui/dui/UIAnimation.h"
#include "ui/dui/UIBase.h"
#include "ui/dui/UICombo.h"
#include "ui/dui/UIContainer.h"
#include "ui/dui/UIControl.h"
#include "ui/dui/UIDefine.h"
#include "ui/dui/UIDlgBuilder.h"
#include "ui/dui/UIEdit.h"
#include "ui/dui/UIFileIcon.h"
#include "ui/dui/UILabel.h"
#include "ui/dui/UIList.h"
#include "ui/dui/UIManager.h"
#include "ui/dui/UIRender.h"
#include "ui/dui/UIScrollBar.h"
