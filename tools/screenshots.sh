#!/usr/bin/env bash
# Regenerates the pictures in docs/screenshots/ from the real `kestrune`
# program on a virtual X display, on a throwaway station folder with the demo
# kit of tools/make-station-kit.sh and the virtual sound output:
#
#   main-window.png       the wave workspace (--workspace) with two waves open
#   recording.png         the workspace while Record start captures a signal
#   subject-registry.png  the subject registry, from the workspace's Test menu
#   audio-devices.png     Options > Audio devices..., from the workspace
#   audio-mixer.png       Process > Audio mixer... on the workspace's two waves
#   frequency-average.png Analyse > Averaged spectrum on the same two waves
#   mask-analyse.png      Analyse > Mask analyse on the kit's vowels う and い, confirmed
#   division-listen.png   Test > Division listen on one of them
#   intermittent-analyse.png  Analyse > Intermittent analyse, confirmed for
#                         duty 0.5 and the years 1940-1970
#   training-analysis.png Analyse > Trainging result analyse for subject 2, step 3
#   session-panel.png     the session panel of a normal start
#   entry-form.png        the subject's entry form, a name and an age typed in
#   directions.png        the directions of the vowel test, after "次へ　＞"
#   vowel-test.png        the vowel test window with its first trial on
#   time-test.png         the time listening test on the kit's time.ini, 10:10 typed
#   sentence-whole.png    a spoken sentence as waveform and spectrogram
#   sentence-zoomed.png   the same sentence zoomed in twice on its middle
#   single-test.png       Test > Single test with a subject and a material confirmed
#   sentence-test.png     the sentence test from Test > Auto test on the kit's
#                         sentence scenario, its first sentence played and the
#                         subject's input window over it
#   interrupted-speech.png  the interrupted speech test, from the launcher on
#                         the kit's syllable.ini, asking for its first answer
#   syllable-mask-test.png  the syllable masking test on the kit's
#                         syllablemask.ini, its first trial playing under う
#   presentation.png      the presentation panel on the kit's play.ini, its
#                         first recording playing
#   speeded-syllable.png  the speeded syllable test from Test > Auto test on
#                         the kit's speedup.ini, its first vowel played and
#                         a panel chosen
#   kana-data-analysis.png  Analyse > Syllable data analyse on generated
#                         interrupted-speech trials, お looked up
#
# Run it again whenever one of these windows changes. Not part of CI; it
# overwrites the same files on every run.
#
# Besides the build packages of tools/install-deps.sh (which include the
# kit's espeak-ng, sox and imagemagick) it needs openbox (window frames and
# Japanese window titles), xdotool (drives the windows with keys and clicks)
# and imagemagick (`import` takes the pictures); it installs what is missing.
# KESTRUNE_EXE=path takes that executable as it is instead of building one;
# KESTRUNE_JOBS sets the build's parallel jobs (2).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
out=$repo/docs/screenshots

bash tools/install-deps.sh
extra=()
for p in openbox xdotool imagemagick; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || extra+=("$p")
done
if ((${#extra[@]} > 0)); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo=sudo
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${extra[@]}"
fi

for tool in Xvfb openbox xdotool import python3; do
    command -v "$tool" >/dev/null || {
        echo "screenshots: $tool is missing" >&2
        exit 1
    }
done

# The program as the sources stand now: build/release (or build/dev when
# only that one is configured) is brought up to date first.
exe=${KESTRUNE_EXE:-}
if [[ -z $exe ]]; then
    preset=release
    if [[ ! -f build/release/CMakeCache.txt && -f build/dev/CMakeCache.txt ]]; then
        preset=dev
    fi
    [[ -f build/$preset/CMakeCache.txt ]] || cmake --preset "$preset"
    cmake --build --preset "$preset" --target kestrune --parallel "${KESTRUNE_JOBS:-2}"
    exe=build/$preset/src/app/kestrune
fi
exe=$(realpath "$exe")
echo "screenshots: using $exe"

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses.
display=99
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do
    display=$((display + 1))
done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1600x1000x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    [[ -e /tmp/.X11-unix/X$display ]] && break
    sleep 0.1
done
[[ -e /tmp/.X11-unix/X$display ]] || {
    echo "screenshots: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
}
# Openbox in its Clearlooks look, without the resize handle under each
# frame; window titles in a Japanese-capable gothic.
theme=$work/xdg/themes/Screenshots/openbox-3
mkdir -p "$theme"
{
    cat /usr/share/themes/Clearlooks/openbox-3/themerc
    echo 'window.handle.width: 0'
} >"$theme/themerc"
cat >"$work/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <theme>
    <name>Screenshots</name>
    <font place="ActiveWindow"><name>IPAPGothic</name><size>10</size><weight>Bold</weight></font>
    <font place="InactiveWindow"><name>IPAPGothic</name><size>10</size><weight>Bold</weight></font>
  </theme>
</openbox_config>
XML
XDG_DATA_HOME=$work/xdg openbox --config-file "$work/rc.xml" >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# The program's captions are Japanese; the paths below are UTF-8.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_STYLE_OVERRIDE

# The demo station: vowel recordings, scenarios, instruction pictures and
# the headphone picture the directions show.
bash tools/make-station-kit.sh "$work/station" >"$work/kit.log" 2>&1 || {
    echo "screenshots: the station kit could not be made" >&2
    cat "$work/kit.log" >&2
    exit 1
}

# Two waves of one format (44100 Hz, 16 bit, mono): the vowels /a/ and /i/
# made from harmonics of 125 Hz shaped by their first two formants.
mkdir -p "$work/waves"
python3 - "$work/waves" <<'PY'
import math, struct, sys, wave

folder = sys.argv[1]
rate = 44100

def vowel(name, seconds, f1, f2, peak):
    n = int(rate * seconds)
    ramp = int(rate * 0.04)
    harmonics = []
    for k in range(1, 40):
        f = 125.0 * k
        gain = 1.0 / (1.0 + ((f - f1) / 90.0) ** 2) + 0.6 / (1.0 + ((f - f2) / 120.0) ** 2)
        harmonics.append((f, gain))
    total = sum(g for _, g in harmonics)
    frames = bytearray()
    for i in range(n):
        t = i / rate
        env = min(1.0, i / ramp, (n - 1 - i) / ramp)
        vibrato = 1.0 + 0.01 * math.sin(2 * math.pi * 5 * t)
        s = sum(g * math.sin(2 * math.pi * f * vibrato * t) for f, g in harmonics) / total
        frames += struct.pack('<h', int(max(-32768, min(32767, peak * env * s))))
    with wave.open(f"{folder}/{name}", 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))

vowel('母音あ.wav', 0.9, 800, 1200, 26000)
vowel('母音い.wav', 0.6, 300, 2300, 15000)
PY

mkdir -p "$out"

# Starts the program with the given arguments; its process id goes to $pid.
launch() {
    "$exe" --station "$work/station" "$@" >"$work/kestrune.log" 2>&1 &
    pid=$!
    pids+=("$pid")
}

# Waits (up to 20 s) for a visible window titled $1 and prints its id; $2
# says what was done to open it, for the message when it never appears. The
# title may carry the program's name after a dash, as Qt adds it on X11.
window_named() {
    local id deadline=$((SECONDS + 20)) why=${2:-}
    while true; do
        id=$(xdotool search --onlyvisible --name "^$1( . Kestrune)?\$" 2>/dev/null | head -1) || true
        if [[ -n $id ]]; then
            echo "$id"
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "screenshots: the program ended before a window \"$1\" appeared${why:+ ($why)}" >&2
            break
        fi
        if ((SECONDS >= deadline)); then
            echo "screenshots: no window \"$1\" appeared within 20 s${why:+ ($why)}" >&2
            break
        fi
        sleep 0.2
    done
    echo "screenshots: the windows on the display:" >&2
    xdotool search --onlyvisible --name . 2>/dev/null | while read -r w; do
        echo "  $(xdotool getwindowname "$w")" >&2
    done
    cat "$work/kestrune.log" >&2
    return 1
}

# Gives window $1 the keyboard focus and presses the keys after it
# (xdotool key names: Tab, space, Return ...).
keys() {
    local id=$1
    shift
    xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
    (($# == 0)) || xdotool key --clearmodifiers --delay 100 "$@"
}

# Types text $1 into the focused edit of the active window.
typing() {
    xdotool type --clearmodifiers --delay 40 "$1"
}

# Clicks window $1 at ($2, $3) in its own coordinates, then moves the
# pointer off the window so that no button is drawn under it.
# Chooses an item of a menu of the program's window $1: Alt+$2 opens the
# menu, the keys after it pick the item.
menu_item() {
    local window=$1 menu=$2
    shift 2
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
    xdotool key --window "$window" --clearmodifiers "alt+$menu"
    sleep 0.5
    xdotool key --clearmodifiers "$@"
}

click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.2
    xdotool mousemove 0 0
}

# The pixels of window $1, for telling whether it changed.
pixels() {
    import -window "$1" rgb:- | md5sum
}

# Captures window $1 with its frame into $out/$2, after the program has
# finished painting. Keys after the name are pressed just before: a key in
# a line edit (End) shows its blinking caret for the next half second, so
# that the picture is the same on every run.
capture() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    sleep 1.5
    if (($# > 2)); then
        xdotool key --clearmodifiers "${@:3}"
        sleep 0.1
    fi
    # No time stamps in the file: a run that changes no window changes no picture.
    import -frame -window "$1" -strip -define png:exclude-chunks=date,time "$out/$2"
    echo "screenshots: $out/$2"
}

stop() {
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# (b) A normal start: the session panel.
launch --audio=virtual
panel=$(window_named 聴力検査 "normal start")
capture "$panel" session-panel.png
stop "$pid"

# The normal start above made the station database; a few subjects go in,
# so the registry has rows to show.
python3 - "$work/station/TestData.db" <<'PY'
import sqlite3, sys

db = sqlite3.connect(sys.argv[1])
subjects = [
    ("山田 花子", "F", 1948, 0, 12, "補聴器なし"),
    ("佐藤 一郎", "M", 1955, 0, 16, ""),
    ("鈴木 美咲", "F", 1999, 1, 14, "練習のみ"),
    ("高橋 健", "M", 1962, 0, 9, "右耳に軽度の難聴"),
]
db.executemany(
    "INSERT INTO IndividualInfo (IIName, IISex, IIAge, IIHanduse, IIEducation, IIDescription)"
    " VALUES (?, ?, ?, ?, ?, ?)", subjects)
db.commit()
PY

# (a) The workspace (--workspace skips the session panel) with two waves.
launch --workspace "$work/waves/母音あ.wav" "$work/waves/母音い.wav"
main=$(window_named Kestrune)
capture "$main" main-window.png

# (c) The subject registry: Test(&T) > &Individual information.
menu_item "$main" t i
registry=$(window_named 被験者の情報)
capture "$registry" subject-registry.png
stop "$pid"

# (a3) The audio mixer: Process(&P) > A&udio mixer on the workspace with
# the two vowels open.
launch --workspace "$work/waves/母音あ.wav" "$work/waves/母音い.wav"
mixer_main=$(window_named Kestrune "the workspace for the mixer")
menu_item "$mixer_main" p u
mixer=$(window_named 音声を混合する "Audio mixer on the Process menu")
capture "$mixer" audio-mixer.png
stop "$pid"

# (a4) Analyse(&A) > &Averaged spectrum on the two vowels: /a/ blue, /i/ red.
launch --workspace "$work/waves/母音あ.wav" "$work/waves/母音い.wav"
spectrum_main=$(window_named Kestrune "the workspace for the averaged spectrum")
menu_item "$spectrum_main" a a
spectrum=$(window_named 平均スペクトル "Averaged spectrum on the Analyse menu")
capture "$spectrum" frequency-average.png
stop "$pid"

# (a6) Analyse(&A) > &Intermittent analyse and &Trainging result analyse,
# confirmed on results written here: interrupted speech items of the
# subjects above and a vowel test of 山田 花子 (ID 2).
python3 - "$work/station/TestData.db" <<'PY'
import random, sqlite3, sys

db = sqlite3.connect(sys.argv[1])
rng = random.Random(3)
kana = ["か", "が", "さ", "ざ", "た", "だ", "は", "ば", "あ", "な", "ま", "ら"]
for subject in (2, 3, 5):
    for item in range(4):
        srid = db.execute(
            "INSERT INTO StatisticalRecord (IIID, SRTimes, SRType, SRNumber, SRDutycycle,"
            " SRValidity) VALUES (?, ?, 2, 20, ?, 1)", (subject, item + 1, (0.25, 0.5)[item % 2])
        ).lastrowid
        for _ in range(20):
            played = rng.choice(kana)
            answer = played if rng.random() < 0.5 else rng.choice(kana)
            db.execute(
                "INSERT INTO BasicRecord (IIID, SRID, BRTime, BRDuration, BRContent, BRRecognise)"
                " VALUES (?, ?, '2026-12-01 10:00:00', 1.2, ?, ?)", (subject, srid, played, answer))
vowels = ["あ", "い", "う", "え", "お"]
for masking in vowels:
    for masked in vowels:
        level = -rng.randint(30, 40) if masking == masked else -rng.randint(8, 26)
        for snr, state in ((level, 0), (level + 3, 1)):
            db.execute(
                "INSERT INTO NewSyllableMaskRecord (IIID, NSMRTime, NSMRDuration,"
                " NSMRMaskingContent, NSMRMaskedContent, NSMRSNR, NSMRState, NSMRValidity)"
                " VALUES (2, '2026-12-01 11:00:00', ?, ?, ?, ?, ?, 1)",
                (round(rng.uniform(1, 4), 2), masking, masked, snr, state))
db.commit()
PY
launch --workspace
analyse_main=$(window_named Kestrune "the workspace for the result analyses")
menu_item "$analyse_main" a i
intermittent=$(window_named "Intermittent結果の解析" "Intermittent analyse on the Analyse menu")
keys "$intermittent"
typing 0.5
keys "$intermittent" Tab
typing 1940
keys "$intermittent" Tab
typing 1970
keys "$intermittent" Return
capture "$intermittent" intermittent-analyse.png
keys "$intermittent" Escape
sleep 0.5
menu_item "$analyse_main" a t
training=$(window_named "Training result analysis" "Trainging result analyse on the Analyse menu")
keys "$training"
typing 2
keys "$training" Tab
typing 3
keys "$training" Return
capture "$training" training-analysis.png
stop "$pid"

# (a4b) Analyse(&A) > &Mask analyse: the kit's vowels う (masking) and い
# (masked) are the dialog's defaults; Confirm is the fifth control of its tab
# order (the two paths, the two Browse buttons, Confirm).
launch --workspace
mask_main=$(window_named Kestrune "the workspace for the mask analysis")
menu_item "$mask_main" a m
mask=$(window_named "Mask analyse" "Mask analyse on the Analyse menu")
keys "$mask" Tab Tab Tab Tab space
capture "$mask" mask-analyse.png
stop "$pid"

# (a5) Test(&T) > &Division listen on the vowel /a/ (virtual sound output).
launch --workspace --audio=virtual "$work/waves/母音あ.wav"
division_main=$(window_named Kestrune "the workspace for division listening")
menu_item "$division_main" t d
division=$(window_named 分離聴 "Division listen on the Test menu")
capture "$division" division-listen.png
stop "$pid"

# (a2) A recording in progress: Operate(&O) > Record Star&t on a workspace
# with the vowel /a/ open, a few seconds in. The microphone is an ALSA
# device defined for this run only, which captures what a named pipe
# brings (and plays into nothing); a small writer feeds the pipe the vowel
# /i/ over and over at 44100 samples a second, so the capture runs in real
# time. The device is opened more than once (PortAudio probes it first):
# the writer starts again on every opening.
sox "$work/waves/母音い.wav" -t raw -r 44100 -e signed -b 16 -c 1 "$work/microphone.raw"
mkfifo "$work/microphone.pipe"
python3 - "$work/microphone.raw" "$work/microphone.pipe" <<'PY' &
import sys, time

sound = open(sys.argv[1], 'rb').read()
step = 4410  # 50 ms
while True:
    try:
        with open(sys.argv[2], 'wb', buffering=0) as pipe:
            start, sent = time.monotonic(), 0
            while True:
                at = sent % len(sound)
                piece = (sound + sound)[at:at + step]
                pipe.write(piece)
                sent += len(piece)
                time.sleep(max(0.0, start + sent / 88200 - time.monotonic()))
    except BrokenPipeError:
        pass
PY
pids+=($!)
cat >"$work/asound-mic.conf" <<ALSA
</usr/share/alsa/alsa.conf>
pcm.!default {
    type asym
    playback.pcm { type null }
    capture.pcm {
        type file
        slave.pcm { type null }
        file "/dev/null"
        infile "$work/microphone.pipe"
        format "raw"
    }
}
ALSA
ALSA_CONFIG_PATH=$work/asound-mic.conf launch --workspace "$work/waves/母音あ.wav"
recording=$(window_named Kestrune "the workspace for the recording")
menu_item "$recording" o t
sleep 1
capture "$recording" recording.png
stop "$pid"

# (c2) The sound devices: Options(&I) > &Audio devices... on a workspace
# whose ALSA sees two booth devices besides its default (silent null
# devices, defined for this run only), with the station's kestrune.ini
# naming them.
cat >"$work/asound.conf" <<'ALSA'
</usr/share/alsa/alsa.conf>
pcm.!default { type null }
pcm.booth_headphones { type null hint { show on description "Booth headphones" } }
pcm.booth_microphone { type null hint { show on description "Booth microphone" } }
ALSA
cp "$work/station/kestrune.ini" "$work/kestrune.ini.kit"
printf '[Audio]\nHostApi=ALSA\nOutputDevice=booth_headphones\nInputDevice=booth_microphone\n' \
    >"$work/station/kestrune.ini"
ALSA_CONFIG_PATH=$work/asound.conf launch --workspace --audio=virtual
devices_main=$(window_named Kestrune "the workspace for the device dialog")
menu_item "$devices_main" i a
devices=$(window_named "Audio devices")
capture "$devices" audio-devices.png
stop "$pid"
mv "$work/kestrune.ini.kit" "$work/station/kestrune.ini"

# (e) A spoken sentence, made here with espeak-ng in the kit's voice and
# rate (22050 Hz, 16 bit), as waveform and spectrogram: whole, then zoomed.
espeak-ng -v ja -s 140 -w "$work/sentence-raw.wav" "きょうは いい てんき ですね"
sox "$work/sentence-raw.wav" -r 22050 -b 16 -c 1 "$work/waves/きょうはいいてんきですね.wav" gain -n -1
launch --workspace "$work/waves/きょうはいいてんきですね.wav"
sentence=$(window_named Kestrune "the sentence on the command line")
capture "$sentence" sentence-whole.png
# The zoom-in tool is the toolbar's fifth button (at 123, 33 in the window);
# each click in the wave view (its middle at 420, 170) halves the range
# around the clicked sample.
xdotool windowactivate --sync "$sentence" >/dev/null 2>&1 || true
xdotool mousemove --window "$sentence" 123 33 click 1
sleep 0.3
for _ in 1 2; do
    xdotool mousemove --window "$sentence" 420 170 click 1
    sleep 0.3
done
xdotool mousemove 0 0
capture "$sentence" sentence-zoomed.png
stop "$pid"

# (d) A subject's session, from a normal start again: after the registry
# picture, so that the registry shows only the subjects above.
launch --audio=virtual
panel=$(window_named 聴力検査 "normal start")
# "練習" has the focus; Tab moves it to "テスト開始".
sleep 0.5
keys "$panel" Tab space
form=$(window_named 個人情報入力してください "テスト開始 on the session panel")
# The name edit has the focus; the on-screen keys take none, so Tab goes on
# to the age edit.
keys "$form"
typing "SATO HANAKO"
keys "$form" Tab
typing 35
capture "$form" entry-form.png End
# From the age edit Tab goes to "＜　戻る", then to "次へ　＞".
keys "$form" Tab Tab space
directions=$(window_named 操作指示 "次へ on the entry form")
capture "$directions" directions.png
# "次へ　＞" is the directions' default button.
keys "$directions" Return
vowels=$(window_named 脳内音声識別テストをしている "次へ on the directions")
xdotool windowactivate --sync "$vowels" >/dev/null 2>&1 || true
sleep 1
# "開始" takes no focus, so it is clicked: the first button of the bottom
# row, against the window's left edge and bottom (layout margins 11 px,
# button height about 24 px).
eval "$(xdotool getwindowgeometry --shell "$vowels")"
before=$(pixels "$vowels")
click "$vowels" 40 $((HEIGHT - 22))
# The first trial enables the answer buttons at once and asks for the two
# vowels a second later.
sleep 1.2
if [[ $(pixels "$vowels") == "$before" ]]; then
    echo "screenshots: 開始 did not start a trial; vowel-test.png shows the window before it" >&2
fi
capture "$vowels" vowel-test.png
stop "$pid"

# (f) The single-factor experiment: Test(&T) > &Single test on a workspace,
# with a subject and a registered kit recording confirmed.
python3 - "$work/station/TestData.db" <<'PY'
import sqlite3, sys

db = sqlite3.connect(sys.argv[1])
db.execute(
    "INSERT INTO AudioInfo (AIPathname, AILength, AIFiletype, AISex, AIChannel, AIBits, AIContent)"
    " VALUES ('vowels/1.wav', 600, 'Wav', 'M', 1, 16, 'あ')")
db.commit()
PY
launch --workspace --audio=virtual
single_main=$(window_named Kestrune "the workspace for the single test")
menu_item "$single_main" t s
single=$(window_named 単一要素の実験 "Single test on the Test menu")
# The subject edit has the focus; "検索" and "確認" follow it, then the
# audio edit. Shift+Tab goes back from there to "確認".
keys "$single"
typing 2
keys "$single" Tab Tab Tab
typing vowels/1.wav
keys "$single" shift+Tab space
capture "$single" single-test.png
stop "$pid"

# Test(&T) > Auto &test with subject 2 and the kit's scenario $1: a workspace
# opens the launcher ("Auto &test" shares its letter with "&Time test": t
# picks the first, Return runs it). The subject edit has the focus; its
# "検索" and then the scenario edit follow, and past "参照" the
# self-evaluation: space chooses it and Return starts the test.
auto_test() {
    local main launcher
    launch --workspace --audio=virtual
    main=$(window_named Kestrune "the workspace for $1")
    menu_item "$main" t --delay 200 t Return
    launcher=$(window_named 設定 "Auto test on the Test menu for $1")
    keys "$launcher"
    typing 2
    keys "$launcher" Tab Tab
    typing "$work/station/$1"
    keys "$launcher" Tab Tab space Return
}

# (g) The sentence recognition test: the kit's sentences registered with
# their scenario, then Test(&T) > Auto &test with subject 2 and that
# scenario; "次へ　＞" on the directions, "始まる", and the input window
# that asks for the sentence once it has been played.
cli=$(dirname "$exe")/../cli/kestrune-cli
[[ -x $cli ]] || cmake --build "$(dirname "$exe")/../.." --target kestrune-cli --parallel "${KESTRUNE_JOBS:-2}"
bash tools/kit/register-sentences.sh "$work/station" "$cli" >"$work/register.log" 2>&1 || {
    echo "screenshots: the sentences could not be registered" >&2
    cat "$work/register.log" >&2
    exit 1
}
auto_test sentence.ini
directions=$(window_named 操作指示 "始める in the launcher")
eval "$(xdotool getwindowgeometry --shell "$directions")"
keys "$directions" Return
sentence=$(window_named 文の認識実験をしている "次へ on the directions")
eval "$(xdotool getwindowgeometry --shell "$sentence")"
# "始まる" is the first button of the bottom row.
click "$sentence" 40 $((HEIGHT - 22))
# 3 s to the first sentence, 6 s more to the input window.
entry=$(window_named 入力して下さい "始まる in the sentence test") || true
sleep 1
capture "$sentence" sentence-test.png
stop "$pid"

# (h) The time listening test: the workspace's Test(&T) > Auto &test (the
# launcher) on the kit's time.ini, the directions,
# then the test with 10:10 typed into its time box, which moves the hands.
auto_test time.ini
time_directions=$(window_named 操作指示 "始める on the launcher")
keys "$time_directions" Return
time_test=$(window_named 時間の聞く実験をしている "次へ on the time test's directions")
keys "$time_test" ctrl+a
typing "10:10"
capture "$time_test" time-test.png End
stop "$pid"

# (i) The interrupted speech test from the launcher: Test(&T) > Auto &test on
# the workspace with the kit's syllable.ini; "次へ　＞" on its directions, then "始まる". The
# first syllable plays 3 s later and the answer is asked for 2 s after that.
auto_test syllable.ini
syllable_directions=$(window_named 操作指示 "始める on the launcher")
keys "$syllable_directions" Return
syllable=$(window_named 抹消音声実験をしている "次へ on the directions of test 4")
xdotool windowactivate --sync "$syllable" >/dev/null 2>&1 || true
sleep 1
eval "$(xdotool getwindowgeometry --shell "$syllable")"
click "$syllable" 40 $((HEIGHT - 22))
sleep 6
# The answer edit has the focus once the answer is asked for.
typing "か"
capture "$syllable" interrupted-speech.png
stop "$pid"

# (j) The syllable masking test: "次へ　＞" on the directions, "始まる", and
# the first trial (its masker is う, whose panel is dark green) 2 s later.
auto_test syllablemask.ini
directions=$(window_named 操作指示 "始める in the launcher for the masking test")
keys "$directions" Return
masking=$(window_named "音声分離実験をしている\\(1\\)" "次へ on the directions")
eval "$(xdotool getwindowgeometry --shell "$masking")"
click "$masking" 40 $((HEIGHT - 22))
sleep 2.5
capture "$masking" syllable-mask-test.png
stop "$pid"

# (k) The presentation panel: no directions; "始まる" and half a second of
# the first sentence.
auto_test play.ini
presentation=$(window_named 音声を再生 "始める in the launcher for the presentation")
eval "$(xdotool getwindowgeometry --shell "$presentation")"
xdotool windowactivate --sync "$presentation" >/dev/null 2>&1 || true
sleep 1.5
# Taken directly, not through capture(): its pause would outlast the sentence.
click "$presentation" 40 $((HEIGHT - 22))
sleep 0.3
import -frame -window "$presentation" -strip -define png:exclude-chunks=date,time "$out/presentation.png"
echo "screenshots: $out/presentation.png"
stop "$pid"

# (l) The speeded syllable test: Test(&T) > Auto &test with subject 2 and
# the kit's speedup.ini; "次へ　＞" on the directions, "始まる", and the
# panel "う" chosen once the first vowel has played.
auto_test speedup.ini
directions=$(window_named 操作指示 "始める in the launcher for the speeded syllable test")
keys "$directions" Return
speedup=$(window_named 加速音声の実験をしている "次へ on the directions")
eval "$(xdotool getwindowgeometry --shell "$speedup")"
# "始まる" is the first button of the bottom row.
click "$speedup" 40 $((HEIGHT - 22))
# 2 s to the vowel, three plays of it; then the middle panel of the row above
# the bottom row.
sleep 4
click "$speedup" $((WIDTH / 2)) $((HEIGHT - 95))
capture "$speedup" speeded-syllable.png
stop "$pid"

# (m) Analyse(&A) > Syllable &data analyse: how a played お was answered in
# interrupted-speech trials written into the station database by a seeded
# generator (items of four duty cycles; most answers right, the rest kana
# that sound alike, a few empty), looked up with the default condition.
python3 - "$work/station/TestData.db" <<'PY'
import random, sqlite3, sys

db = sqlite3.connect(sys.argv[1])
rng = random.Random(21)
confusions = ["こ", "ほ", "よ", "の", "ろ", "ご", "ぼ", "も", "う", "そ"]
for item in range(24):
    duty = (0.25, 0.5, 0.75, 1.0)[item % 4]
    srid = db.execute(
        "INSERT INTO StatisticalRecord (IIID, SRTimes, SRType, SRNumber, SRDutycycle, SRValidity)"
        " VALUES (?, ?, 2, 40, ?, ?)", (1 + item % 4, 1 + item // 4, duty, 0 if item == 23 else 1)
    ).lastrowid
    for _ in range(40):
        played = "お" if rng.random() < 0.3 else rng.choice(["あ", "か", "さ", "た", "な"])
        right = rng.random() < duty * 0.8 + 0.1
        answer = played if right else ("" if rng.random() < 0.08 else rng.choice(confusions))
        db.execute(
            "INSERT INTO BasicRecord (IIID, SRID, BRTime, BRDuration, BRContent, BRRecognise)"
            " VALUES (?, ?, '2024-05-01 10:00:00', 1.5, ?, ?)", (1 + item % 4, srid, played, answer))
db.commit()
PY
launch --workspace
kana_main=$(window_named Kestrune "the workspace for the kana data analysis")
menu_item "$kana_main" a d
kana=$(window_named カナデータを分析する "Syllable data analyse on the Analyse menu")
# The kana field has the focus; "確認" is the default button.
keys "$kana"
sleep 0.5
typing お
sleep 0.5
keys "$kana" Return
# The answers by count, most frequent first: two clicks on "回数", apart
# enough not to make a double click.
click "$kana" 120 103
sleep 1
click "$kana" 120 103
sleep 0.5
capture "$kana" kana-data-analysis.png
stop "$pid"
