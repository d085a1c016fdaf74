#!/bin/sh
# Writes the labelled detection scenes into folder $1 as short H.264 clips
# (320 x 240, 20 frames a second, 6 seconds), all drawn by FFmpeg filters.
# Names: NAME.mp4; whether a capture is wanted is up to the test's table.
# A second argument draws only the scene of that name.
set -e
out=$1
only=$2
mkdir -p "$out"
want() { [ -z "$only" ] || [ "$only" = "$1" ]; }
# A still, textured room: grey levels 48..208, fixed.
room="128+50*sin(X/9)*sin(Y/7)+30*sin(X/23+Y/31)"
person="color=c=0x282828:s=40x110:r=20:d=6"
cat="color=c=0x303030:s=24x14:r=20:d=6"
scene() { # NAME LUMA-EXPRESSION [EXTRA-FILTERS]
    want "$1" || return 0
    ffmpeg -loglevel error -y -f lavfi \
        -i "color=c=gray:s=320x240:r=20:d=6,format=gray,geq=lum='$2'$3" \
        -threads 1 -c:v libx264 -preset ultrafast -crf 16 -pix_fmt yuv420p "$out/$1.mp4"
}
walk() { # NAME LUMA-EXPRESSION SHAPE SPEED Y
    want "$1" || return 0
    ffmpeg -loglevel error -y -f lavfi \
        -i "color=c=gray:s=320x240:r=20:d=6,format=gray,geq=lum='$2'[room];$3[shape];[room][shape]overlay=x='-40+$4*(t-1)':y=$5" \
        -threads 1 -c:v libx264 -preset ultrafast -crf 16 -pix_fmt yuv420p "$out/$1.mp4"
}
# Dusk or a cloud: the light falls by almost half within the clip.
scene slow_ramp "($room)*(1-0.075*T)"
# The lamp is switched on after 3 seconds.
scene light_on "($room)*if(lt(T,3),0.55,1)"
# Automatic exposure hunting: steps of about 30 % every 0.6 seconds.
scene exposure_pumping "($room)*(0.8+0.3*gt(sin(2*PI*T/1.2),0))"
# A dark scene with strong sensor noise that changes every frame, in grains
# of about 4 x 4 pixels as a camera's own noise filter leaves it.
if want sensor_noise; then
ffmpeg -loglevel error -y -f lavfi -i "color=c=gray:s=320x240:r=20:d=6,format=gray,geq=lum='0.6*($room)'[room];color=c=gray:s=80x60:r=20:d=6,format=gray,noise=alls=70:allf=t+u:all_seed=7,scale=320:240:flags=bilinear[grain];[room][grain]blend=all_expr='A+B-128'" \
    -threads 1 -c:v libx264 -preset ultrafast -crf 16 -pix_fmt yuv420p "$out/sensor_noise.mp4"
fi
# Foliage in one corner: spots of light flicker at random every frame.
spot="sin(floor(X/4)*12.9898+floor(Y/4)*78.233+floor(T*20)*37.719)*43758.5453"
scene leaves "if(between(X,208,287)*between(Y,16,63),128+50*(2*($spot-floor($spot))-1),$room)"
# Someone crosses the room from left to right.
walk person_walks "$room" "$person" 90 80
# A cat crosses the floor.
walk cat_walks "$room" "$cat" 60 200
# Someone walks in while the light falls.
walk person_in_ramp "($room)*(1-0.075*T)" "$person" 90 80
