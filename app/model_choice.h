// The model options every program that draws models shares (--model,
// --as-is, --up, --shading), as rows of the one option table
// (app/options.h), and the loading of the model they name.
#pragma once
#include <string>
#include <vector>

#include "app/model_load.h"
#include "app/options.h"

struct ModelChoice {
    std::string file; // empty: the built-in scene
    ModelOptions options;
    const char *placedBy = nullptr; // the first of --as-is, --up, --shading given
};
// What the rows read; ModelOptionRows() starts it afresh.
extern ModelChoice ChosenModel;

// --model, --as-is, --up and --shading, for a program's own rows.
std::vector<OptionRow> ModelOptionRows();
// A program's table (ProgramOptionRows) with the model rows put in before
// --help, so that its usage line still starts with the options it had.
std::vector<OptionRow> WithModelOptionRows(std::vector<OptionRow> rows);

// Once the options are read: refuses --as-is, --up or --shading without
// --model, then loads the model --model names and draws it in place of the
// built-in scene (nothing when none is named). False with one line in error.
bool LoadChosenModel(ModelInfo &info, std::string &error);
