#!/usr/bin/env bash
# The sources kept in the .clang-format style, checked with clang-format.
# A file joins the list once it is formatted (clang-format -i FILE), so the
# check never asks for unrelated reformatting. Without clang-format the
# check says so in one line and passes: the cause is the machine.
#   tests/lib/check_format.sh   (from anywhere in the checkout)
set -uo pipefail
cd "$(dirname "$0")/../.."
formatted=(
    app/options.h app/options.cpp app/model_load.cpp app/frame_bands.cpp
    app/model_scene.h app/model_scene.cpp
    render/mesh_draw.h render/mesh_draw.cpp render/mesh_draw_bands.cpp render/mesh_draw_parts.h
    render/bands.h render/bands.cpp tests/render/render_mesh_test.cpp
    app/model_precheck.h app/model_precheck.cpp app/model_precheck_gltf.h app/model_precheck_gltf.cpp
    platform/shell/command_line.cpp
    platform/web/web_options.cpp
    tools/arguments.h tools/arguments.cpp
    tools/bench_count_main.cpp
    tools/bench_chart.cpp tools/bench_chart.h tools/bench_counts.cpp tools/bench_counts.h
    tools/bench_draw.cpp tools/bench_draw.h tools/bench_fit.cpp tools/bench_fit.h
    tools/bench_floors.cpp tools/bench_floors.h tools/bench_json.cpp tools/bench_json.h
    tools/bench_llvmpipe.cpp tools/bench_llvmpipe.h tools/bench_load.cpp tools/bench_load.h
    tools/bench_machine.cpp tools/bench_machine.h tools/bench_main.cpp tools/bench_options.cpp
    tools/bench_options.h tools/bench_report.cpp tools/bench_report.h tools/bench_report_json.cpp
    tools/bench_report_json.h tools/bench_run.cpp tools/bench_run.h tools/bench_stats.cpp
    tools/bench_stats.h tools/bench_sweep.cpp tools/bench_sweep.h tools/bench_table.cpp
    tools/bench_table.h tools/bench_views.cpp tools/bench_views.h tests/tools/bench_fit_test.cpp
    tests/tools/bench_json_test.cpp tests/tools/bench_stats_test.cpp
    tools/options.h tools/options.cpp
    tools/render_options.h tools/render_options.cpp
)
format=$(command -v clang-format-14 || command -v clang-format) ||
    { echo "SKIP: format check: clang-format is not installed"; exit 0; }
failed=0
for file in "${formatted[@]}"; do
    if [ ! -f "$file" ]; then
        echo "FAIL format: $file is listed but missing"
        failed=1
    elif ! "$format" --dry-run --Werror "$file" 2>/dev/null; then
        echo "FAIL format: $file differs from .clang-format's style (clang-format -i $file)"
        failed=1
    fi
done
[ "$failed" -eq 0 ] && echo "ok   format: ${#formatted[@]} files in .clang-format's style"
exit "$failed"
