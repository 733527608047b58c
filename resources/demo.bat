# Fenu2 demo batch: reconstructs eight slices of the phantom data set in
# phantom/ and saves every slice as a data file (.dat) and an image (.png)
# under results/. Paths are relative to the directory fenu2 is started in
# (./run.sh starts it in demo/):
#     cd demo && ../build/fenu2 -nw -b ../resources/demo.bat -x
# Copy it and change the paths, the CoR and the slices for your own data.

# Geometry first: the first load sizes the slice range and the regions
# across the rotation axis. Vertical axis, centre of rotation in pixels.
ct_rot_ax_is_h            0
ct_cor                    255.5

# The projections; the batch goes on when all of them are loaded.
images_new_on_load        1
images_load               phantom proj-*.img
i0_load                   phantom/flat.img
bg_load                   phantom/dark.img

# Slices 16, 32, ... 128 on the reconstruction workers, all of them (the
# field takes at most as many as the machine has).
calc_ct2                  1
ct_auto_exec              1
ct_slice_from             16
ct_slice_to               128
ct_slice_step             16
ct_threads                256

# Every slice saved as results/data/phantom-00016.dat and
# results/img/phantom-00016.png and so on.
auto_save_in_sub_folders  0
auto_save_data            1
auto_save_data_path       results/data
auto_save_data_tag        phantom
auto_save_image           1
auto_save_image_path      results/img
auto_save_image_tag       phantom

:echo reconstructing the demo slices
calc_exec
:echo demo done
