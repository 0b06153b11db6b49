// kestrun-cli batch: every MKV file of a folder through the window's folder batch. The options
// of `convert` are set once beforehand, as a person sets the window before pressing "Folder";
// the results go to the output folder without the question of the "Folder" button.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>

#include "app/batch.h"
#include "app/cli/cli_host.h"
#include "app/cli/commands.h"
#include "app/cli/convert_options.h"
#include "app/handlers.h"
#include "model/context.h"
#include "model/messages.h"
#include "platform/file_api.h"

namespace kestrun {
namespace {

int BatchUsage(const std::string& problem) {
    std::cerr << "kestrun-cli batch: " << problem << "\n"
              << "(kestrun-cli batch --help lists the options)" << std::endl;
    return 2;
}

// Options that name a track or a file of one source cannot hold for a whole folder.
bool ChoosesPerSource(const ConvertOptions& options) {
    return options.audio || options.subs || options.subsFile;
}

std::string AbsoluteFolder(const std::string& folder) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(folder, ec);
    return ec ? folder : absolute.lexically_normal().string();
}

// One row of the summary: what became of a source, and the result or the reason.
struct SummaryRow {
    std::string source;
    std::string_view outcome;  // msg::kBatchConverted, kBatchSkipped or kBatchFailed
    std::string detail;
};

// The row of a source the batch handed to Convert: converted when its result was written (with
// the verdict when that breaks a rule), otherwise failed with the last progress text as reason.
SummaryRow ConversionRow(const Context& ctx, const std::string& name) {
    if (!FinishedWithOutput(ctx)) return {name, msg::kBatchFailed, ctx.form.txtProgress.text()};
    if (ctx.finishedOutputPlays == false)
        return {name, msg::kBatchConverted,
                ctx.finishedOutput + ": " + ctx.form.txtProgress.text()};
    return {name, msg::kBatchConverted, ctx.finishedOutput};
}

SummaryRow RowOf(const Context& ctx, const BatchFileDone& done) {
    const std::string name = FileNameOf(done.source);
    switch (done.step) {
        case BatchStep::Dispatched:
            return ConversionRow(ctx, name);
        case BatchStep::Skipped:
            return {name, msg::kBatchSkipped, done.result};
        case BatchStep::KeptResult:
            return {name, msg::kBatchFailed, done.result + ": " + done.reason};
        case BatchStep::RefusedPath:
        case BatchStep::RefusedName:
            break;
    }
    return {name, msg::kBatchFailed, done.reason};
}

size_t CountOf(const std::vector<SummaryRow>& rows, std::string_view outcome) {
    return static_cast<size_t>(std::count_if(
        rows.begin(), rows.end(), [&](const SummaryRow& r) { return r.outcome == outcome; }));
}

// The table, its columns as wide as their longest entry, then the totals.
void PrintSummary(const std::vector<SummaryRow>& rows) {
    size_t width = 0;
    for (const SummaryRow& row : rows) width = std::max(width, row.source.size());
    for (const SummaryRow& row : rows)
        std::cerr << std::left << std::setw(static_cast<int>(width + 2)) << row.source
                  << std::setw(11) << row.outcome << row.detail << "\n";
    std::cerr << CountOf(rows, msg::kBatchConverted) << " " << msg::kBatchConverted << ", "
              << CountOf(rows, msg::kBatchSkipped) << " " << msg::kBatchSkipped << ", "
              << CountOf(rows, msg::kBatchFailed) << " " << msg::kBatchFailed << std::endl;
}

// 1 when a source failed, else 3 when a converted result breaks a rule, else 0.
int ExitCodeOf(const std::vector<SummaryRow>& rows, bool anyBreaksRule) {
    if (CountOf(rows, msg::kBatchFailed) > 0) return 1;
    return anyBreaksRule ? kExitResultBreaksRule : 0;
}

// The options are parsed: the checks that need the folders, then the batch.
int RunBatch(Context& ctx, CliHost& host, const ConvertOptions& options) {
    if (ChoosesPerSource(options))
        return BatchUsage(
            "--audio, --subs and --subs-file choose "
            "for one source; use convert for them");
    const std::string folder = AbsoluteFolder(options.positional.front());
    if (!FolderExists(folder)) {
        std::cerr << "kestrun-cli batch: not a folder: " << folder << std::endl;
        return 1;
    }
    if (RefuseUnquotablePath(ctx, folder)) return 1;
    if (std::string refusal = ApplyOutputFolder(ctx, options); !refusal.empty())
        return BatchUsage(refusal);
    if (!FolderExists(ctx.form.txtTMP.text())) {
        std::cerr << "kestrun-cli batch: --out: " << msg::kBatchOutputFolderMissing
                  << ctx.form.txtTMP.text() << std::endl;
        return 1;
    }
    StartRecodeFormat(ctx, options);
    if (std::string refusal = ApplyConvertOptions(ctx, host, options); !refusal.empty()) {
        std::cerr << "kestrun-cli batch: " << refusal << std::endl;
        return 2;
    }

    const std::vector<std::string> names = MkvFilesIn(folder);
    if (names.empty()) {
        std::cerr << "kestrun-cli batch: no MKV files in " << folder << std::endl;
        return 0;
    }

    Form1& f = ctx.form;
    ctx.analysis.bBatchMode = true;
    f.bSplit = false;
    f.intListConv = f.chkMP2.value();
    // The counter changes once per file, just before that file is looked at.
    size_t shown = 0;
    f.lblMulti.onChange = [&](const Control& c) {
        std::cerr << "[" << c.text() << "] " << (shown < names.size() ? names[shown++] : "")
                  << std::endl;
    };
    ctx.finishedOutput.clear();

    std::vector<SummaryRow> rows;
    bool anyBreaksRule = false;
    BatchPass pass{folder, names, f.txtTMP.text(), true, {}};
    pass.onFileDone = [&](const BatchFileDone& done) {
        rows.push_back(RowOf(ctx, done));
        if (done.step == BatchStep::Dispatched && FinishedWithOutput(ctx)) {
            std::cout << ctx.finishedOutput << std::endl;
            anyBreaksRule = anyBreaksRule || ctx.finishedOutputPlays == false;
        }
        ctx.finishedOutput.clear();
        ctx.finishedOutputPlays.reset();
    };
    RunBatch(ctx, pass);
    f.lblMulti.onChange = nullptr;  // it holds this function's locals

    PrintSummary(rows);
    return ExitCodeOf(rows, anyBreaksRule);
}

}  // namespace

SubCommand AddBatchCommand(CLI::App& program) {
    CLI::App* command = program.add_subcommand(
        "batch", "convert every MKV file of a folder (the options of convert)");
    auto options = std::make_shared<ConvertOptions>();
    AddConvertOptions(*command, *options, false);
    command->add_option("FOLDER", options->positional, "the folder of the MKV files")
        ->required()
        ->expected(1);
    command->footer(
        "--audio, --subs and --subs-file choose per source and are not taken here.\n"
        "A source whose result is already in the output folder is skipped when that result\n"
        "verifies, and otherwise counted as failed with the result left as it is. A table\n"
        "ends the run: each source converted, skipped or failed, with its result or reason.\n"
        "Exit code: 0 when nothing failed, 1 when a source failed, 3 when nothing failed\n"
        "but a converted result breaks a rule of the console.");
    return {command,
            [options](Context& ctx, CliHost& host) { return RunBatch(ctx, host, *options); }};
}

}  // namespace kestrun
