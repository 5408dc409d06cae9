#!/bin/sh
# Remakes the sample files of docs/ with the program's own code: the sample tests, their PDF and
# page pictures, their learning-platform exports, and a class-version set of a ten-question test.
# Run from the repository after a build.
set -e
BUILD=${1:-build}
T="$BUILD/tools"
"$T/sample_exam_maker" --data "$BUILD/sample" --out docs/sample-test.dsq --count 20 --seed 7 \
    --title "Dosage Calculations: Practice Test 1" \
    --description "Twenty questions on metric conversions, tablet and fluid dosages and IV drop rates." \
    --instructions "Work each question on paper and write your answer on its answer line. Show your working. Round drop rates to whole drops per minute."
"$T/sample_exam_maker" --data "$BUILD/sample" --out docs/sample-infusions.dsq --count 40 --seed 1 --categories 5,6 \
    --title "Infusion Rates and Times: Practice" \
    --description "Forty questions on infusion pump rates in ml/hr and infusion times in minutes." \
    --instructions "Give pump rates in whole ml/hr and infusion times in whole minutes."
"$T/sample_exam_maker" --data "$BUILD/sample" --out docs/sample-weight-units.dsq --count 40 --seed 1 --categories 7,8 \
    --title "Weight-Based Doses and Units: Practice" \
    --description "Forty questions on children's doses from their weight and on heparin and insulin in units." \
    --instructions "Doses of 10 mg or more in whole mg, below 10 mg to 1 decimal place; volumes of 1 ml or more to 1 decimal place, below 1 ml to 2; pump rates to 1 decimal place; insulin in whole units."
"$T/sample_exam_maker" --data "$BUILD/sample" --out docs/sample-week.dsq --count 10 --seed 5 --categories 1,2,3,4,5,6 \
    --title "Week 5: Dosage Calculations" \
    --description "Ten questions, one set of parallel forms for the class." \
    --instructions "Work each question on paper and write your answer on its answer line. Show your working."
QT_QPA_PLATFORM=offscreen "$T/class_versions_maker" --data "$BUILD/sample" --test docs/sample-week.dsq --versions 3 --seed 5
"$T/sample_results_maker" --test docs/sample-test.dsq --out docs/sample-results.csv
QT_QPA_PLATFORM=offscreen "$T/exam_pdf_writer" docs/sample-test.dsq docs/sample-test.pdf
"$T/exam_exporter" docs/sample-test.dsq docs/sample-test
solutions=$(pdftotext docs/sample-test.pdf - | awk 'BEGIN{RS="\f"} /Solutions:/{print NR; exit}')
cd docs
pdftoppm -png -r 60 -f 1 -l 1 -singlefile sample-test.pdf sample-test-page1
pdftoppm -png -r 60 -f "$solutions" -l "$solutions" -singlefile sample-test.pdf sample-test-solutions
